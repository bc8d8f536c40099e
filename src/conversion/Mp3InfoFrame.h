#pragma once

#include <QString>

// The first frame of an MP3 written by FFmpeg: a Xing/Info frame whose LAME
// extension states the encoder's delay and padding, which gapless players
// read. FFmpeg signs it "Lavf"; players that look for LAME's own signature
// before they trust those numbers ignore it then. Holds no state; runs on
// the export's thread.
class Mp3InfoFrame {
public:
    // Signs the frame as the LAME encoder that made the audio, its check
    // sum made again; true too when there is nothing to sign.
    static bool signAsLame(const QString& path, QString* error);
    // CRC-16 (ARC) of the frame's first 190 bytes, as the extension keeps it.
    static quint16 checksum(const char* frame);
};
