#include "FlacFactory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryFile>

#include <cmath>
#include <cstdlib>

QByteArray FlacFactory::tone(const Options& options) {
    const qint64 frames = qint64(options.seconds * options.sampleRate);
    const int bytesPerSample = (options.bitsPerSample + 7) / 8;
    QByteArray pcm;
    pcm.resize(frames * options.channels * bytesPerSample);
    char* out = pcm.data();
    const double amplitude = std::ldexp(1.0, options.bitsPerSample - 1) * 0.4;
    const double noise = std::ldexp(1.0, options.bitsPerSample - 1) * options.noise;
    quint32 seed = 12345;
    for (qint64 frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < options.channels; ++channel) {
            const double frequency = 440.0 * (channel + 1);
            seed = seed * 1664525u + 1013904223u;
            const double random = (double(seed >> 8) / double(1u << 24) - 0.5) * 2.0 * noise;
            const auto sample = qint32(std::lround(
                amplitude * std::sin(2.0 * M_PI * frequency * double(frame) / options.sampleRate) +
                random));
            for (int byte = 0; byte < bytesPerSample; ++byte) {
                *out++ = char((sample >> (8 * byte)) & 0xff);
            }
        }
    }
    return pcm;
}

QByteArray FlacFactory::channelSlots(const Options& options, double slotSeconds) {
    const qint64 slot = qint64(slotSeconds * options.sampleRate);
    const qint64 frames = slot * options.channels;
    const int width = (options.bitsPerSample + 7) / 8;
    const double amplitude = std::ldexp(1.0, options.bitsPerSample - 1) * 0.5;
    QByteArray pcm(frames * options.channels * width, '\0');
    char* out = pcm.data();
    for (qint64 frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < options.channels; ++channel) {
            qint32 sample = 0;
            if (frame / slot == channel) {
                sample = qint32(std::lround(
                    amplitude * std::sin(2.0 * M_PI * 100.0 * double(frame) / options.sampleRate)));
            }
            for (int byte = 0; byte < width; ++byte) {
                *out++ = char((sample >> (8 * byte)) & 0xff);
            }
        }
    }
    return pcm;
}

int FlacFactory::run(const QString& program, const QStringList& arguments, QByteArray* output,
                     QByteArray* error) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        return -1;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output != nullptr) {
        *output = process.readAllStandardOutput();
    }
    if (error != nullptr) {
        *error = process.readAllStandardError();
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

namespace {
// The 80-bit float AIFF stores its sample rate in.
QByteArray extendedRate(int rate) {
    int exponent = 0;
    while ((quint64(1) << (exponent + 1)) <= quint64(rate)) {
        ++exponent;
    }
    const quint64 mantissa = quint64(rate) << (63 - exponent);
    QByteArray bytes;
    const quint16 head = quint16(16383 + exponent);
    bytes.append(char(head >> 8)).append(char(head & 0xff));
    for (int shift = 56; shift >= 0; shift -= 8) {
        bytes.append(char((mantissa >> shift) & 0xff));
    }
    return bytes;
}

QByteArray bigEndian(quint32 value, int bytes) {
    QByteArray out;
    for (int index = bytes - 1; index >= 0; --index) {
        out.append(char((value >> (8 * index)) & 0xff));
    }
    return out;
}

// flac takes raw input at 8, 16, 24 and 32 bits only; other depths come in
// an AIFF file, each sample left-justified in its bytes.
QByteArray aiffOf(const QByteArray& pcm, const FlacFactory::Options& options) {
    const int width = (options.bitsPerSample + 7) / 8;
    const int shift = width * 8 - options.bitsPerSample;
    QByteArray samples;
    samples.reserve(pcm.size());
    for (qsizetype at = 0; at + width <= pcm.size(); at += width) {
        qint32 value = 0;
        for (int byte = width - 1; byte >= 0; --byte) {
            value = (value << 8) | quint8(pcm.at(at + byte));
        }
        value = qint32(quint32(value) << (32 - width * 8)) >> (32 - width * 8);
        samples.append(bigEndian(quint32(value) << shift, width));
    }
    const qint64 frames = samples.size() / (width * options.channels);
    const QByteArray comm =
        bigEndian(quint32(options.channels), 2) + bigEndian(quint32(frames), 4) +
        bigEndian(quint32(options.bitsPerSample), 2) + extendedRate(options.sampleRate);
    const QByteArray ssnd = bigEndian(0, 4) + bigEndian(0, 4) + samples;
    const QByteArray body = "AIFF" + QByteArray("COMM") + bigEndian(quint32(comm.size()), 4) +
                            comm + "SSND" + bigEndian(quint32(ssnd.size()), 4) + ssnd;
    return "FORM" + bigEndian(quint32(body.size()), 4) + body;
}

bool flacTakesRaw(int bits) {
    return bits == 8 || bits == 16 || bits == 24 || bits == 32;
}
} // namespace

QString FlacFactory::make(const QString& path, const Options& options) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool raw = flacTakesRaw(options.bitsPerSample);
    // Beside no file of the test: a name of 255 bytes has no room for more.
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/flacfactory-XXXXXX") +
                        (raw ? QStringLiteral(".raw") : QStringLiteral(".aiff")));
    if (!file.open()) {
        std::abort();
    }
    const QString input = file.fileName();
    const QByteArray pcm = options.pcm.isEmpty() ? tone(options) : options.pcm;
    file.write(raw ? pcm : aiffOf(pcm, options));
    file.flush();
    QStringList arguments = {QStringLiteral("--silent"), QStringLiteral("--force")};
    if (raw) {
        arguments << QStringLiteral("--force-raw-format") << QStringLiteral("--endian=little")
                  << QStringLiteral("--sign=signed")
                  << QStringLiteral("--channels=%1").arg(options.channels)
                  << QStringLiteral("--bps=%1").arg(options.bitsPerSample)
                  << QStringLiteral("--sample-rate=%1").arg(options.sampleRate);
    }
    for (const auto& tag : options.tags) {
        arguments << QStringLiteral("--tag=%1=%2").arg(tag.first, tag.second);
    }
    if (!options.picturePath.isEmpty()) {
        arguments << QStringLiteral("--picture=%1").arg(options.picturePath);
    }
    if (options.ogg) {
        arguments << QStringLiteral("--ogg");
    }
    arguments << QStringLiteral("-o") << path << input;
    QByteArray error;
    const int status = run(QStringLiteral("flac"), arguments, nullptr, &error);
    if (status != 0) {
        qFatal("flac failed: %s", error.constData());
    }
    return path;
}

QList<QPair<QString, QString>> FlacFactory::fullTags(const QString& title) {
    return {{QStringLiteral("ARTIST"), QStringLiteral("The Artist")},
            {QStringLiteral("TITLE"), title},
            {QStringLiteral("ALBUM"), QStringLiteral("The Album")},
            {QStringLiteral("DATE"), QStringLiteral("2019")},
            {QStringLiteral("TRACKNUMBER"), QStringLiteral("3")},
            {QStringLiteral("GENRE"), QStringLiteral("Jazz")},
            {QStringLiteral("DISCNUMBER"), QStringLiteral("1")}};
}

const QString FlacFactory::kLibraryLyrics =
    QStringLiteral("First line\nSecond line = still lyrics\nThird line");

QList<QPair<QString, QString>> FlacFactory::libraryTags(const QString& title) {
    return {{"TITLE", title},
            {"ARTIST", "First Artist"},
            {"ARTIST", "Second Artist"},
            {"ALBUM", "The Album"},
            {"ALBUMARTIST", "Various Artists"},
            {"DATE", "2021"},
            {"TRACKNUMBER", "02"},
            {"TRACKTOTAL", "10"},
            {"DISCNUMBER", "1"},
            {"DISCTOTAL", "2"},
            {"GENRE", "Rock"},
            {"COMPOSER", "The Composer"},
            {"COMMENT", "A comment"},
            {"LYRICS", kLibraryLyrics},
            {"ARTISTSORT", "Artist, First"},
            {"ALBUMARTISTSORT", "Artists, Various"},
            {"TITLESORT", "Title, Source"},
            {"ALBUMSORT", "Album, The"},
            {"COMPILATION", "1"},
            {"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"},
            {"REPLAYGAIN_ALBUM_PEAK", "0.988547"},
            {"MUSICBRAINZ_TRACKID", "7c8e2b3a-1f4d-4c52-9a0e-2f1b4c6d8e90"},
            {"ISRC", "USRC17607839"},
            {"MOOD", "Éclatant – 東京"}};
}

QString FlacFactory::makePicture(const QString& path, const char* format, unsigned rgb) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(QColor::fromRgb(rgb));
    if (!picture.save(path, format)) {
        std::abort();
    }
    return path;
}

namespace {
struct MetadataBlock {
    int type;
    QByteArray body;
};

// The metadata blocks of a native FLAC file, and where its frames start.
QList<MetadataBlock> metadataBlocks(const QByteArray& file, qsizetype* framesAt) {
    QList<MetadataBlock> blocks;
    qsizetype at = 4;
    bool last = false;
    while (!last && at + 4 <= file.size()) {
        last = (quint8(file.at(at)) & 0x80) != 0;
        const int type = quint8(file.at(at)) & 0x7f;
        const qsizetype length = (qsizetype(quint8(file.at(at + 1))) << 16) |
                                 (qsizetype(quint8(file.at(at + 2))) << 8) |
                                 qsizetype(quint8(file.at(at + 3)));
        blocks.append({type, file.mid(at + 4, length)});
        at += 4 + length;
    }
    *framesAt = at;
    return blocks;
}

QByteArray readWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::abort();
    }
    return file.readAll();
}

void writeWhole(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        std::abort();
    }
}
} // namespace

void FlacFactory::insertEmptyBlock(const QString& path, int type) {
    const QByteArray file = readWhole(path);
    qsizetype framesAt = 0;
    QList<MetadataBlock> blocks = metadataBlocks(file, &framesAt);
    blocks.insert(1, {type, QByteArray()});
    QByteArray rebuilt = "fLaC";
    for (qsizetype index = 0; index < blocks.size(); ++index) {
        const bool last = index == blocks.size() - 1;
        const qsizetype length = blocks.at(index).body.size();
        rebuilt.append(char((last ? 0x80 : 0) | blocks.at(index).type));
        rebuilt.append(char((length >> 16) & 0xff))
            .append(char((length >> 8) & 0xff))
            .append(char(length & 0xff));
        rebuilt.append(blocks.at(index).body);
    }
    writeWhole(path, rebuilt + file.mid(framesAt));
}

void FlacFactory::keepOnlyFrames(const QString& path) {
    const QByteArray file = readWhole(path);
    qsizetype framesAt = 0;
    metadataBlocks(file, &framesAt);
    writeWhole(path, file.mid(framesAt));
}
