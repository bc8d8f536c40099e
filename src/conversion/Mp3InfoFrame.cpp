#include "Mp3InfoFrame.h"

#include <QFile>

namespace {
// Where the extension is, from the start of the Xing or Info header, with
// every optional field FFmpeg writes (frames, bytes, table, quality).
constexpr qint64 kExtensionAfterHeader = 120;
constexpr int kChecksummed = 190;
// The encoder's name and version, nine bytes: the audio is LAME's
// (libmp3lame), whose 3.100 the extension's layout follows.
constexpr char kLameSignature[] = "LAME3.100";

qint64 id3Length(const QByteArray& head) {
    if (!head.startsWith("ID3") || head.size() < 10) {
        return 0;
    }
    const auto byte = [&head](int index) { return qint64(quint8(head.at(index)) & 0x7f); };
    const bool footer = (quint8(head.at(5)) & 0x10) != 0;
    return 10 + (byte(6) << 21 | byte(7) << 14 | byte(8) << 7 | byte(9)) + (footer ? 10 : 0);
}

// Where the Xing or Info header sits in an MPEG audio frame: after the
// four-byte header and the side information.
int headerOffset(quint8 second, quint8 fourth) {
    const bool mpeg1 = (second & 0x18) == 0x18;
    const bool mono = (fourth & 0xc0) == 0xc0;
    return 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
}
} // namespace

quint16 Mp3InfoFrame::checksum(const char* frame) {
    quint16 crc = 0;
    for (int index = 0; index < kChecksummed; ++index) {
        crc ^= quint8(frame[index]);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        }
    }
    return crc;
}

bool Mp3InfoFrame::signAsLame(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("Lecture de l'en-tête MP3 impossible : %1").arg(file.errorString());
        return false;
    }
    const qint64 frameAt = id3Length(file.read(10));
    if (!file.seek(frameAt)) {
        return true;
    }
    QByteArray frame = file.read(kChecksummed + 2);
    if (frame.size() < kChecksummed + 2 || quint8(frame.at(0)) != 0xff ||
        (quint8(frame.at(1)) & 0xe0) != 0xe0) {
        return true;
    }
    const int header = headerOffset(quint8(frame.at(1)), quint8(frame.at(3)));
    const QByteArray tag = frame.mid(header, 4);
    const qint64 extension = header + kExtensionAfterHeader;
    // Only a full extension, as FFmpeg writes it, ending at the checksum.
    if ((tag != "Xing" && tag != "Info") || extension + 36 != kChecksummed + 2 ||
        !(frame.mid(extension, 3) == "Lav")) {
        return true;
    }
    frame.replace(extension, 9, QByteArray(kLameSignature, 9));
    const quint16 crc = checksum(frame.constData());
    frame[kChecksummed] = char(crc >> 8);
    frame[kChecksummed + 1] = char(crc & 0xff);
    if (!file.seek(frameAt) || file.write(frame) != frame.size()) {
        *error =
            QStringLiteral("Écriture de l'en-tête MP3 impossible : %1").arg(file.errorString());
        return false;
    }
    return true;
}
