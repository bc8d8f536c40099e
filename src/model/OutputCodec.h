#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Every output the program writes, described once: the settings view's
// popup, the output names, the export, the terminal's --codec and --help
// and the tests all read this table.
struct OutputCodec {
    // How the container keeps tags.
    enum class Tags { Mp4Atoms, Id3, VorbisComments, RiffInfo, CafInfo };
    // How the container keeps the cover.
    enum class Cover { None, AttachedPicture, VorbisPicture };

    // The setting's value and the terminal's word ("m4a", "alac", …).
    const char* name;
    // The popup's text, translated by the settings view.
    const char* popupText;
    const char* extension;
    // FFmpeg's muxer and encoder; no encoder: PCM at the source's depth.
    const char* muxer;
    const char* encoder;
    bool lossless;
    Tags tags;
    Cover cover;
    // PCM: little-endian words (WAV); AIFF-C compression types; ID3 in AIFF.
    bool littleEndianPcm;
    bool aifc;
    bool id3InAiff;
    // The one sample rate the codec takes (Opus: 48 kHz); 0 for any.
    int onlySampleRate;

    // The default name of the sub-folder beside the source.
    QString subfolder() const { return QLatin1String(name); }
    QString codecName() const { return QLatin1String(name); }
    QString fileExtension() const { return QLatin1String(extension); }

    // In the popup's order; a codec's position is its popup tag.
    static const QList<OutputCodec>& all();
    // Null for a name outside the table.
    static const OutputCodec* find(const QString& name);
    static QStringList names();
    // Every extension an output can have, once each.
    static QStringList extensions();
    // The extension of a codec's outputs; the name itself outside the table.
    static QString extensionOf(const QString& name);
};
