#include "OutputCodec.h"

#include <QCoreApplication>

namespace {
using Tags = OutputCodec::Tags;
using Cover = OutputCodec::Cover;
} // namespace

const QList<OutputCodec>& OutputCodec::all() {
    static const QList<OutputCodec> codecs = {
        {"mp3", QT_TRANSLATE_NOOP("VueCtrlrReglage", "MP3"), "mp3", "mp3", "libmp3lame",
         false, Tags::Id3, Cover::AttachedPicture, false, false, false, 0},
        {"m4a", QT_TRANSLATE_NOOP("VueCtrlrReglage", "M4A (AAC)"), "m4a", "ipod", "aac",
         false, Tags::Mp4Atoms, Cover::AttachedPicture, false, false, false, 0},
        {"aif", QT_TRANSLATE_NOOP("VueCtrlrReglage", "AIFF"), "aif", "aiff", nullptr, true,
         Tags::Id3, Cover::AttachedPicture, false, false, true, 0},
        {"wav", QT_TRANSLATE_NOOP("VueCtrlrReglage", "WAV"), "wav", "wav", nullptr, true,
         Tags::RiffInfo, Cover::None, true, false, false, 0},
        {"aifc", QT_TRANSLATE_NOOP("VueCtrlrReglage", "AIFF-C"), "aifc", "aiff", nullptr, true,
         Tags::Id3, Cover::AttachedPicture, false, true, true, 0},
        {"aac", QT_TRANSLATE_NOOP("VueCtrlrReglage", "AAC (MP4)"), "aac", "mp4", "aac",
         false, Tags::Mp4Atoms, Cover::AttachedPicture, false, false, false, 0},
        {"caf", QT_TRANSLATE_NOOP("VueCtrlrReglage", "CAF"), "caf", "caf", nullptr, true,
         Tags::CafInfo, Cover::None, false, false, false, 0},
        {"alac", QT_TRANSLATE_NOOP("VueCtrlrReglage", "Apple Lossless (ALAC)"), "m4a", "ipod",
         "alac", true, Tags::Mp4Atoms, Cover::AttachedPicture, false, false, false, 0},
        {"opus", QT_TRANSLATE_NOOP("VueCtrlrReglage", "Opus"), "opus", "ogg", "libopus",
         false, Tags::VorbisComments, Cover::VorbisPicture, false, false, false, 48000},
        {"ogg", QT_TRANSLATE_NOOP("VueCtrlrReglage", "Ogg Vorbis"), "ogg", "ogg", "libvorbis",
         false, Tags::VorbisComments, Cover::VorbisPicture, false, false, false, 0},
    };
    return codecs;
}

const OutputCodec* OutputCodec::find(const QString& name) {
    for (const OutputCodec& codec : all()) {
        if (name == QLatin1String(codec.name)) {
            return &codec;
        }
    }
    return nullptr;
}

QStringList OutputCodec::names() {
    QStringList names;
    for (const OutputCodec& codec : all()) {
        names << codec.codecName();
    }
    return names;
}

QStringList OutputCodec::extensions() {
    QStringList extensions;
    for (const OutputCodec& codec : all()) {
        if (!extensions.contains(codec.fileExtension())) {
            extensions << codec.fileExtension();
        }
    }
    return extensions;
}

QString OutputCodec::extensionOf(const QString& name) {
    const OutputCodec* codec = find(name);
    return codec != nullptr ? codec->fileExtension() : name;
}
