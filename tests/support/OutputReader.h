#pragma once

#include <QJsonObject>
#include <QString>

// Reads a converted file with the independent reader (python3-mutagen and
// plain chunk parsing, tests/tools/read_audio.py).
class OutputReader {
public:
    static QJsonObject read(const QString& path);
    // The SHA-1 of a FLAC file's samples as flac itself decodes them
    // (big-endian, signed), to compare with the reader's "pcm_sha1".
    static QString flacPcmSha1(const QString& flacPath);
    static QString fileSha1(const QString& path);
};
