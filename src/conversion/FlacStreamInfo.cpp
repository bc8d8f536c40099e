#include "FlacStreamInfo.h"

#include <QFile>

namespace {
// An Ogg FLAC stream's first packet: "\x7FFLAC", its version and header
// count, then "fLaC" and the STREAMINFO block.
constexpr int kOggPacketSearch = 128;
constexpr int kStreamHeaderSize = 4 + 4 + 18;
// The STREAMINFO block ends with the MD5 signature of the decoded audio.
constexpr int kSignatureOffset = kStreamHeaderSize;
constexpr int kSignatureSize = 16;

FlacStreamInfo parse(const QByteArray& head) {
    FlacStreamInfo info;
    // "fLaC", the STREAMINFO block's header, then at bytes 10 to 17 of the
    // block: rate (20 bits), channels - 1 (3), depth - 1 (5), samples (36).
    if (head.size() < kStreamHeaderSize || !head.startsWith("fLaC") || (head.at(4) & 0x7f) != 0) {
        return info;
    }
    quint64 packed = 0;
    for (int index = 18; index < 26; ++index) {
        packed = (packed << 8) | quint8(head.at(index));
    }
    info.sampleRate = int(packed >> 44);
    info.channels = int((packed >> 41) & 0x7) + 1;
    info.bitsPerSample = int((packed >> 36) & 0x1f) + 1;
    info.totalSamples = packed & 0xFFFFFFFFFull;
    if (head.size() >= kSignatureOffset + kSignatureSize) {
        info.md5 = head.mid(kSignatureOffset, kSignatureSize);
    }
    return info;
}
// What a file that is no FLAC stream is, by its first bytes.
QString formatOf(const QByteArray& head) {
    const auto at = [&head](qsizetype offset, const char* magic) {
        return head.mid(offset, qsizetype(qstrlen(magic))) == magic;
    };
    // An MPEG audio frame's sync and a layer (a FLAC frame's sync has none).
    if (at(0, "ID3") || (head.size() > 1 && quint8(head.at(0)) == 0xFF &&
                         (quint8(head.at(1)) & 0xE0) == 0xE0 && (quint8(head.at(1)) & 0x06) != 0)) {
        return QStringLiteral("MP3");
    }
    if (at(0, "RIFF") && at(8, "WAVE")) {
        return QStringLiteral("WAV");
    }
    if (at(0, "FORM") && (at(8, "AIFF") || at(8, "AIFC"))) {
        return QStringLiteral("AIFF");
    }
    if (at(4, "ftyp")) {
        return QStringLiteral("MP4 (M4A)");
    }
    if (at(0, "caff")) {
        return QStringLiteral("CAF");
    }
    if (at(0, "OggS")) {
        return head.contains("OpusHead")     ? QStringLiteral("Ogg Opus")
               : head.contains("\x01vorbis") ? QStringLiteral("Ogg Vorbis")
                                             : QStringLiteral("Ogg");
    }
    if (at(0, "wvpk")) {
        return QStringLiteral("WavPack");
    }
    if (at(0, "MAC ")) {
        return QStringLiteral("Monkey's Audio");
    }
    return QString();
}
} // namespace

FlacStreamInfo FlacStreamInfo::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return FlacStreamInfo();
    }
    const QByteArray head = file.read(kOggPacketSearch + kSignatureOffset + kSignatureSize);
    const qsizetype oggFlac = head.startsWith("OggS") ? head.indexOf("\x7F"
                                                                     "FLAC")
                                                      : -1;
    FlacStreamInfo info = parse(oggFlac >= 0 ? head.mid(oggFlac + 9) : head);
    info.ogg = oggFlac >= 0;
    if (!info.isValid() && !info.ogg) {
        info.otherFormat = formatOf(head);
    }
    return info;
}
