#include "FlacStreamInfo.h"

#include <QFile>

FlacStreamInfo FlacStreamInfo::read(const QString& path) {
    FlacStreamInfo info;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return info;
    }
    // "fLaC", the STREAMINFO block's header, then at bytes 10 to 17 of the
    // block: rate (20 bits), channels - 1 (3), depth - 1 (5), samples (36).
    const QByteArray head = file.read(4 + 4 + 18);
    if (head.size() != 26 || !head.startsWith("fLaC") || (head.at(4) & 0x7f) != 0) {
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
