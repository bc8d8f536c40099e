#include "ImageTrackTags.h"

namespace {
void set(TagList& tags, const QString& name, const QString& value) {
    if (!value.isEmpty()) {
        tags.replace(name, {value});
    }
}
} // namespace

TagList ImageTrackTags::forTrack(const CueSheet& sheet, const CueSheet::Track& track,
                                 const TagList& imageComments, int trackCount) {
    TagList tags = imageComments;
    for (const char* name : {"TITLE", "TRACKNUMBER", "TRACKTOTAL", "TOTALTRACKS", "ISRC",
                             "CUESHEET", "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK"}) {
        tags.removeAll(QLatin1String(name));
    }
    const QMap<QString, QString>& disc = sheet.disc;
    set(tags, QStringLiteral("ALBUM"), disc.value(QStringLiteral("TITLE")));
    set(tags, QStringLiteral("ALBUMARTIST"), disc.value(QStringLiteral("PERFORMER")));
    set(tags, QStringLiteral("ARTIST"),
        track.performer.isEmpty() ? disc.value(QStringLiteral("PERFORMER")) : track.performer);
    set(tags, QStringLiteral("DATE"), disc.value(QStringLiteral("DATE")));
    set(tags, QStringLiteral("GENRE"), disc.value(QStringLiteral("GENRE")));
    set(tags, QStringLiteral("DISCNUMBER"), disc.value(QStringLiteral("DISCNUMBER")));
    set(tags, QStringLiteral("DISCTOTAL"), disc.value(QStringLiteral("TOTALDISCS")));
    set(tags, QStringLiteral("CATALOGNUMBER"), disc.value(QStringLiteral("CATALOG")));
    set(tags, QStringLiteral("COMPOSER"),
        track.songwriter.isEmpty() ? disc.value(QStringLiteral("COMPOSER")) : track.songwriter);
    set(tags, QStringLiteral("TITLE"),
        track.title.isEmpty()
            ? QStringLiteral("Piste %1").arg(track.number, 2, 10, QLatin1Char('0'))
            : track.title);
    set(tags, QStringLiteral("ISRC"), track.isrc);
    set(tags, QStringLiteral("TRACKNUMBER"), QString::number(track.number));
    set(tags, QStringLiteral("TRACKTOTAL"), QString::number(trackCount));
    return tags;
}
