#include "DiscImageDeletion.h"

#include "conversion/FlacStreamInfo.h"
#include "storage/FileManager.h"
#include "storage/Log.h"

#include <QFileInfo>

#include <algorithm>

QString DiscImageDeletion::deleteIfWhole(const QString& imagePath, const QString& sheetPath,
                                         QList<Converted> tracks) {
    const FlacStreamInfo stream = FlacStreamInfo::read(imagePath);
    if (!stream.lengthKnown() || tracks.isEmpty()) {
        return QString();
    }
    std::sort(tracks.begin(), tracks.end(), [](const Converted& one, const Converted& other) {
        return one.firstSample < other.firstSample;
    });
    // Every sample of the image is in an output: no track left behind, none
    // the user took out of the list.
    qint64 covered = 0;
    for (const Converted& track : std::as_const(tracks)) {
        if (track.firstSample > covered) {
            return QString();
        }
        covered = std::max(covered, track.endSample);
    }
    if (covered < qint64(stream.totalSamples)) {
        return QString();
    }
    const FileIdentity now = FileIdentity::of(imagePath);
    for (const Converted& track : std::as_const(tracks)) {
        if (!now.sameFileAs(track.source)) {
            return QStringLiteral("%1 a changé pendant sa conversion : il n'est pas supprimé")
                .arg(imagePath);
        }
    }
    QString error;
    if (!FileManager::removeItem(imagePath, &error)) {
        Log::write(QStringLiteral("Impossible de supprimer %1\n%2").arg(imagePath, error));
        return QStringLiteral("Impossible de supprimer %1").arg(imagePath);
    }
    if (!sheetPath.isEmpty() && !FileManager::removeItem(sheetPath, &error)) {
        Log::write(QStringLiteral("Impossible de supprimer %1\n%2").arg(sheetPath, error));
    }
    FileManager::syncFolder(QFileInfo(imagePath).absolutePath());
    return sheetPath.isEmpty()
               ? QStringLiteral("Image %1 supprimée, toutes ses pistes converties").arg(imagePath)
               : QStringLiteral("Image %1 et sa feuille de cue supprimées, toutes ses pistes "
                                "converties")
                     .arg(imagePath);
}
