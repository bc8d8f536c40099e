#include "RegisteredDefaults.h"

#include "model/DestinationPattern.h"
#include "storage/UserDefaults.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString standardFolder(QStandardPaths::StandardLocation location, const QString& fallbackName) {
    const QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty() || path == QDir::homePath()) {
        return QDir::homePath() + QLatin1Char('/') + fallbackName;
    }
    return path;
}
} // namespace

QString RegisteredDefaults::musicFolder() {
    return standardFolder(QStandardPaths::MusicLocation, QStringLiteral("Music"));
}

QString RegisteredDefaults::picturesFolder() {
    return standardFolder(QStandardPaths::PicturesLocation, QStringLiteral("Pictures"));
}

QVariantMap RegisteredDefaults::table() {
    const QString music = musicFolder();
    return {
        {QStringLiteral("ConversionCodec"), QStringLiteral("m4a")},
        {QStringLiteral("DestinationType"), qint64(0)},
        {QStringLiteral("DestinationAutoName"), QStringLiteral("m4a")},
        {QStringLiteral("DestinationDossier"), music},
        {QStringLiteral("ConversionPreserverDate"), false},
        {QStringLiteral("DernierDossierFLAC"), music},
        {QStringLiteral("DestinationEcraserExistant"), false},
        {QStringLiteral("DestinationEffacerOriginal"), false},
        {QStringLiteral("ConversionFrequence"), qint64(-1)},
        {QStringLiteral("ConversionDebit"), qint64(-1)},
        {QStringLiteral("ConversionCompression"), qint64(-1)},
        {QStringLiteral("ConversionCanaux"), qint64(-1)},
        {QStringLiteral("ImportMetadata"), true},
        {QStringLiteral("ImageAutoFind"), true},
        {QStringLiteral("ImageSourceType"), qint64(0)},
        // Kept with its tilde, as a user would type it.
        {QStringLiteral("ImageCustomPath"), UserDefaults::abbreviateHome(picturesFolder())},
        {QStringLiteral("ForgetWhenFinished"), true},
        // Conversions at the same time; 0: one per processor core.
        {QStringLiteral("ConversionsSimultanees"), qint64(0)},
        // Outputs in the chosen folder named from their tags, by this pattern.
        {QStringLiteral("DestinationNommerSelonTags"), false},
        {QStringLiteral("DestinationMotif"), DestinationPattern::defaultPattern()},
    };
}

void RegisteredDefaults::registerAll() {
    UserDefaults::standard().registerDefaults(table());
}
