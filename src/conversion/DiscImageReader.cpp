#include "DiscImageReader.h"

#include "conversion/CueSheetFinder.h"
#include "conversion/FlacStreamInfo.h"
#include "conversion/FlacTagReader.h"
#include "conversion/ImageTrackLayout.h"
#include "conversion/ImageTrackTags.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

bool DiscImageReader::hasCueSheetBlock(const QString& flacPath) {
    // The metadata blocks' headers after "fLaC": a last-block flag and a
    // type in the first byte, the length in the next three.
    constexpr int kCueSheetType = 5;
    QFile file(flacPath);
    if (!file.open(QIODevice::ReadOnly) || file.read(4) != "fLaC") {
        return false;
    }
    for (;;) {
        const QByteArray header = file.read(4);
        if (header.size() < 4) {
            return false;
        }
        const auto byte = [&header](int index) { return quint32(quint8(header.at(index))); };
        if ((byte(0) & 0x7f) == kCueSheetType) {
            return true;
        }
        const qint64 length = qint64((byte(1) << 16) | (byte(2) << 8) | byte(3));
        if ((byte(0) & 0x80) != 0 || !file.seek(file.pos() + length)) {
            return false;
        }
    }
}

void DiscImageReader::readTracks(const QString& flacPath, const QString& metaflacPath,
                                 SourceReading& reading, bool pregapsWithTheirTracks,
                                 const std::atomic<bool>* cancelled, const QString& sheetEncoding) {
    const auto stop = [cancelled] { return cancelled != nullptr && *cancelled; };
    const QString image = QFileInfo(flacPath).absoluteFilePath();
    if (stop()) {
        return;
    }
    QString sheetPath = CueSheetFinder::sheetBeside(image);
    if (stop()) {
        return;
    }
    CueSheet sheet;
    QString encoding;
    if (!sheetPath.isEmpty()) {
        const CueSheetFinder::Found found = CueSheetFinder::read(sheetPath, sheetEncoding);
        sheet = found.sheet;
        encoding = found.text.encoding;
    } else {
        // A CUESHEET block is read by metaflac, run only for the files that
        // have one; a CUESHEET comment came with the other comments.
        const QString carried = hasCueSheetBlock(image)
                                    ? FlacTagReader::embeddedCueSheet(image, metaflacPath)
                                    : reading.comments.first(QStringLiteral("CUESHEET"));
        if (carried.isEmpty()) {
            return;
        }
        sheet = CueSheet::parse(carried);
    }
    const auto unusable = [&](const QString& why, int line) {
        const QString sheetName =
            sheetPath.isEmpty() ? QStringLiteral("CUESHEET") : QFileInfo(sheetPath).fileName();
        reading.tracks << ImageTrack{ImageTrack::kUnusableSheet,
                                     0,
                                     0,
                                     QStringLiteral("Feuille de cue %1 inutilisable, ligne %2 : %3")
                                         .arg(sheetName)
                                         .arg(line)
                                         .arg(why),
                                     sheetPath,
                                     encoding};
        reading.trackComments << reading.comments;
    };
    if (sheet.tracks.isEmpty()) {
        // A sheet beside the image that names it but holds no track.
        if (!sheetPath.isEmpty() && !sheet.files.isEmpty()) {
            unusable(sheet.error.isEmpty() ? QStringLiteral("aucune piste") : sheet.error,
                     sheet.errorLine);
        }
        return;
    }
    // The files the sheet names, this image among them; a sheet the image
    // carries names the image whatever its FILE line says.
    QHash<QString, ImageTrackLayout::Audio> audio;
    QStringList ours;
    for (const QString& named : sheet.files) {
        const QString file =
            sheetPath.isEmpty() ? image : CueSheetFinder::audioFor(sheetPath, named);
        if (file.isEmpty()) {
            continue;
        }
        const FlacStreamInfo stream = FlacStreamInfo::read(file);
        audio.insert(named, {int(stream.sampleRate), qint64(stream.totalSamples)});
        if (file == image) {
            ours << named;
        }
    }
    const ImageTrackLayout layout = ImageTrackLayout::of(sheet, audio, pregapsWithTheirTracks);
    if (!layout.isValid()) {
        // Only a sheet that makes the file an image: one track of a per-track
        // rip's sheet is a plain file whatever its times say.
        const auto ownTracks = std::count_if(
            sheet.tracks.cbegin(), sheet.tracks.cend(),
            [&ours](const CueSheet::Track& track) { return ours.contains(track.file); });
        if (ownTracks >= 2) {
            unusable(layout.error, layout.errorLine);
        }
        return;
    }
    QList<ImageTrackLayout::Range> ranges;
    for (const ImageTrackLayout::Range& range : layout.ranges) {
        if (ours.contains(range.file)) {
            ranges << range;
        }
    }
    // A rip of one file per track often comes with one sheet naming them
    // all: a file holding a single track stays a plain file.
    if (ranges.size() < 2) {
        return;
    }
    for (const ImageTrackLayout::Range& range : ranges) {
        CueSheet::Track own;
        own.number = range.number;
        for (const CueSheet::Track& track : sheet.tracks) {
            if (track.number == range.number) {
                own = track;
            }
        }
        if (range.number == 0) {
            own.title = QStringLiteral("Piste cachée");
        }
        const TagList comments =
            ImageTrackTags::forTrack(sheet, own, reading.comments, int(sheet.tracks.size()));
        const QString name = QStringLiteral("%1 - %2")
                                 .arg(range.number, 2, 10, QLatin1Char('0'))
                                 .arg(comments.first(QStringLiteral("TITLE")));
        reading.tracks << ImageTrack{range.number, range.firstSample, range.endSample,
                                     name,         sheetPath,         encoding};
        reading.trackComments << comments;
    }
}
