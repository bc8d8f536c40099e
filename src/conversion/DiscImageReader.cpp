#include "DiscImageReader.h"

#include "conversion/CueSheetFinder.h"
#include "conversion/FlacStreamInfo.h"
#include "conversion/FlacTagReader.h"
#include "conversion/ImageTrackLayout.h"
#include "conversion/ImageTrackTags.h"

#include <QFile>
#include <QFileInfo>

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
                                 SourceReading& reading, const std::atomic<bool>* cancelled) {
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
    if (!sheetPath.isEmpty()) {
        sheet = CueSheetFinder::read(sheetPath).sheet;
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
    if (sheet.tracks.isEmpty()) {
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
    const ImageTrackLayout layout = ImageTrackLayout::of(sheet, audio, false);
    if (!layout.isValid()) {
        reading.logLines << QStringLiteral("Feuille de cue de %1 inutilisable, ligne %2 : %3")
                                .arg(image)
                                .arg(layout.errorLine)
                                .arg(layout.error);
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
                                     name,         sheetPath,         QString()};
        reading.trackComments << comments;
    }
}
