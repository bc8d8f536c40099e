#include "FlacStreamInfo.h"

#include <QFile>

namespace {
// An Ogg FLAC stream's first packet: "\x7FFLAC", its version and header
// count, then "fLaC" and the STREAMINFO block.
constexpr int kOggPacketSearch = 128;
constexpr int kStreamHeaderSize = 4 + 4 + 18;

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
    return info;
}
} // namespace

FlacStreamInfo FlacStreamInfo::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return FlacStreamInfo();
    }
    const QByteArray head = file.read(kOggPacketSearch + kStreamHeaderSize);
    if (!head.startsWith("OggS")) {
        return parse(head);
    }
    const qsizetype packet = head.indexOf("\x7F"
                                          "FLAC");
    FlacStreamInfo info = packet < 0 ? FlacStreamInfo() : parse(head.mid(packet + 9));
    info.ogg = true;
    return info;
}
