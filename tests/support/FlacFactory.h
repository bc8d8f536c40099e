#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Makes real FLAC files for tests and benchmarks: a generated tone encoded
// by the flac program, with tags and a picture set by flac itself.
class FlacFactory {
public:
    struct Options {
        double seconds = 0.5;
        int sampleRate = 44100;
        int channels = 2;
        int bitsPerSample = 16;
        QList<QPair<QString, QString>> tags;
        QString picturePath;
        // Adds noise of this share of full scale, so encoders work as on music.
        double noise = 0.0;
        // Interleaved little-endian samples to encode instead of the tone.
        QByteArray pcm;
        // An Ogg FLAC file instead of a native one.
        bool ogg = false;
    };

    static QString make(const QString& path, const Options& options);
    static QString make(const QString& path) { return make(path, Options()); }
    // The usual seven tags.
    static QList<QPair<QString, QString>> fullTags(const QString& title = QStringLiteral("Title"));
    // What a tagged library track carries: the seven with a second artist,
    // totals, album artist, sort names, a comment, three lines of lyrics,
    // ReplayGain, MusicBrainz and ISRC.
    static QList<QPair<QString, QString>>
    libraryTags(const QString& title = QStringLiteral("Source Title"));
    static const QString kLibraryLyrics;
    // A small picture file of that format ("jpg" or "png") and colour.
    static QString makePicture(const QString& path, const char* format, unsigned rgb = 0xc03020);
    // Raw interleaved little-endian PCM of the tone.
    static QByteArray tone(const Options& options);
    // Each channel silent but for a tone of its own in its own slot of the
    // given length: channel n sounds from n × slot to (n + 1) × slot, low enough
    // for an LFE channel.
    static QByteArray channelSlots(const Options& options, double slotSeconds);
    // Puts an empty metadata block of that type (a reserved one: 7 to 126)
    // after STREAMINFO, as some taggers leave them; flac reads past it.
    static void insertEmptyBlock(const QString& path, int type);
    // Leaves only the audio frames: a stream that starts at a frame header,
    // whose length nothing states.
    static void keepOnlyFrames(const QString& path);
    // Runs a program and answers its exit code (-1 when it could not run).
    static int run(const QString& program, const QStringList& arguments,
                   QByteArray* output = nullptr, QByteArray* error = nullptr);
};
