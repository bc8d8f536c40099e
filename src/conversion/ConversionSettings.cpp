#include "ConversionSettings.h"

#include "storage/UserDefaults.h"

#include <QThread>

#include <algorithm>

int ConversionSettings::resolveJobs(qint64 setting) {
    if (setting <= 0) {
        return std::max(1, QThread::idealThreadCount());
    }
    return int(std::min<qint64>(setting, 64));
}

ConversionSettings ConversionSettings::fromDefaults(const UserDefaults& defaults) {
    const auto positive = [&defaults](const char* key) {
        const qint64 value = defaults.integerForKey(QLatin1String(key));
        return value > 0 ? value : qint64(-1);
    };
    ConversionSettings settings;
    settings.codec = defaults.stringForKey(QStringLiteral("ConversionCodec"));
    settings.overwrite = defaults.boolForKey(QStringLiteral("DestinationEcraserExistant"));
    settings.deleteSource = defaults.boolForKey(QStringLiteral("DestinationEffacerOriginal"));
    settings.preserveDate = defaults.boolForKey(QStringLiteral("ConversionPreserverDate"));
    settings.forgetWhenFinished = defaults.boolForKey(QStringLiteral("ForgetWhenFinished"));
    settings.sampleRate = positive("ConversionFrequence");
    settings.channels = positive("ConversionCanaux");
    settings.bitRate = positive("ConversionDebit");
    const qint64 compression = defaults.integerForKey(QStringLiteral("ConversionCompression"));
    settings.compression = compression >= 0 ? compression : -1;
    settings.jobs = resolveJobs(defaults.integerForKey(QStringLiteral("ConversionsSimultanees")));
    return settings;
}
