#include "ConversionSettings.h"

#include "model/OutputCodec.h"
#include "model/Settings.h"

#include <QThread>

#include <algorithm>

QString ConversionSettings::qualityFingerprint() const {
    const CodecQuality::Family family = CodecQuality::familyOf(codec);
    // Outputs made before each family had its own quality were made at the
    // codec's default bit rate, which AAC and Opus keep: they stay in step.
    const bool unchangedDefault =
        (family == CodecQuality::Family::Aac || family == CodecQuality::Family::Opus) &&
        quality == CodecQuality::defaultQuality(family);
    const qint64 rate = CodecQuality::bitRate(quality);
    if (unchangedDefault || quality.isEmpty()) {
        return QStringLiteral("|bit rate -1");
    }
    return rate > 0 ? QStringLiteral("|bit rate %1").arg(rate)
                    : QStringLiteral("|quality %1").arg(quality);
}

int ConversionSettings::resolveJobs(qint64 setting) {
    if (setting <= 0) {
        return std::max(1, QThread::idealThreadCount());
    }
    return int(std::min<qint64>(setting, 64));
}

ConversionSettings ConversionSettings::fromSettings(const Settings& stored) {
    const auto positive = [&stored](const Setting<qint64>& setting) {
        const qint64 value = stored.value(setting);
        return value > 0 ? value : qint64(-1);
    };
    ConversionSettings settings;
    settings.codec = stored.value(Settings::codec);
    settings.destination = stored.destinationRules();
    settings.existing = stored.resolvedExistingOutput();
    settings.copyCompanions = stored.value(Settings::copyCompanions);
    settings.companionPatterns =
        stored.value(Settings::companionPatterns).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    settings.pruneOrphans = stored.value(Settings::pruneOrphans);
    settings.id3Version = int(stored.value(Settings::id3Version));
    settings.coverMaxSide = int(stored.value(Settings::coverMaxSide));
    settings.coverFile = stored.value(Settings::coverFile);
    settings.replayGain = ReplayGainMode(stored.value(Settings::replayGain));
    settings.applyGain = ApplyGain(stored.value(Settings::applyGain));
    settings.portableNamesWhenNeeded = stored.value(Settings::portableNames) == 0;
    settings.deleteSource = stored.value(Settings::deleteSource);
    settings.preserveDate = stored.value(Settings::preserveDate);
    settings.forgetWhenFinished = stored.value(Settings::forgetWhenFinished);
    settings.sampleRate = positive(Settings::sampleRate);
    settings.maxSampleRate = int(stored.value(Settings::maxSampleRate));
    settings.maxBits = int(stored.value(Settings::maxBits));
    settings.channels = positive(Settings::channels);
    settings.quality = stored.quality(CodecQuality::familyOf(settings.codec));
    const qint64 compression = stored.value(Settings::compression);
    settings.compression = compression >= 0 ? compression : -1;
    settings.jobs = resolveJobs(stored.value(Settings::simultaneousConversions));
    return settings;
}

QString ConversionSettings::encodingFingerprint() const {
    QString text =
        QStringLiteral("%1|rate %2|channels %3").arg(codec).arg(sampleRate).arg(channels);
    if (maxSampleRate > 0) {
        text += QStringLiteral("|max rate %1").arg(maxSampleRate);
    }
    if (maxBits > 0) {
        text += QStringLiteral("|max bits %1").arg(maxBits);
    }
    // A quality is the lossy encoders' alone.
    const OutputCodec* output = OutputCodec::find(codec);
    if (output == nullptr || !output->lossless) {
        text += qualityFingerprint();
        if (applyGain != ApplyGain::None) {
            text += QStringLiteral("|gain %1").arg(int(applyGain));
        }
    }

    return text;
}
