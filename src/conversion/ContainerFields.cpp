#include "ContainerFields.h"

#include "model/TagList.h"

#include <QStringList>

namespace {
const ContainerFields kFields[] = {
    {"TITLE", "\251nam", "TIT2", "INAM", "title"},
    {"ARTIST", "\251ART", "TPE1", "IART", "artist"},
    {"ALBUM", "\251alb", "TALB", "IPRD", "album"},
    {"DATE", "\251day", "TDRC", "ICRD", "year"},
    {"GENRE", "\251gen", "TCON", "IGNR", "genre"},
    {"TRACKNUMBER", "trkn", "TRCK", "ITRK", "track number"},
    {"TRACKTOTAL", "", "", "", ""},
    {"TOTALTRACKS", "", "", "", ""},
    {"DISCNUMBER", "disk", "TPOS", nullptr, nullptr},
    {"DISCTOTAL", "", "", "", ""},
    {"TOTALDISCS", "", "", "", ""},
    {"ALBUMARTIST", "aART", "TPE2", nullptr, nullptr},
    {"ALBUM ARTIST", "aART", "TPE2", nullptr, nullptr},
    {"COMPOSER", "\251wrt", "TCOM", nullptr, "composer"},
    {"COMMENT", "\251cmt", "COMM", "ICMT", "comments"},
    {"LYRICS", "\251lyr", "USLT", nullptr, nullptr},
    {"UNSYNCEDLYRICS", "\251lyr", "USLT", nullptr, nullptr},
    {"ARTISTSORT", "soar", "TSOP", nullptr, nullptr},
    {"ALBUMARTISTSORT", "soaa", "TSO2", nullptr, nullptr},
    {"TITLESORT", "sonm", "TSOT", nullptr, nullptr},
    {"ALBUMSORT", "soal", "TSOA", nullptr, nullptr},
    {"COMPOSERSORT", "soco", "TSOC", nullptr, nullptr},
    {"COMPILATION", "cpil", "TCMP", nullptr, nullptr},
    {"COPYRIGHT", "cprt", "TCOP", "ICOP", "copyright"},
    {"GROUPING", "\251grp", "TIT1", nullptr, nullptr},
    {"BPM", "tmpo", "TBPM", nullptr, "tempo"},
    {"ISRC", nullptr, "TSRC", nullptr, nullptr},
};
} // namespace

const char* ContainerFields::fieldFor(OutputCodec::Tags kind) const {
    switch (kind) {
    case OutputCodec::Tags::Mp4Atoms:
        return mp4;
    case OutputCodec::Tags::Id3:
        return id3;
    case OutputCodec::Tags::RiffInfo:
        return riffInfo;
    case OutputCodec::Tags::CafInfo:
        return cafInfo;
    case OutputCodec::Tags::VorbisComments:
        break;
    }
    return nullptr;
}

const ContainerFields* ContainerFields::find(const QString& comment) {
    for (const ContainerFields& fields : kFields) {
        if (TagList::sameName(comment, QLatin1String(fields.comment))) {
            return &fields;
        }
    }
    return nullptr;
}

const QStringList& ContainerFields::trackTotalNames() {
    static const QStringList names = {QStringLiteral("TRACKTOTAL"), QStringLiteral("TOTALTRACKS")};
    return names;
}

const QStringList& ContainerFields::discTotalNames() {
    static const QStringList names = {QStringLiteral("DISCTOTAL"), QStringLiteral("TOTALDISCS")};
    return names;
}
