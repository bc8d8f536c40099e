#pragma once

#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

struct AVFrame;

// Measures a stream's loudness as its audio goes by: the gated integrated
// loudness of ITU BS.1770 / EBU R 128, in LUFS, and its true peak. The
// channels are taken in FLAC's order, the LFE left out. Fed on one thread;
// once finished it is only read, from any thread.
class LoudnessScan {
public:
    LoudnessScan(int channels, int sampleRate);
    ~LoudnessScan();
    LoudnessScan(const LoudnessScan&) = delete;
    LoudnessScan& operator=(const LoudnessScan&) = delete;

    bool isValid() const { return m_meter != nullptr; }
    // Decoded frames of any sample format, packed or planar.
    bool add(const AVFrame* frame);
    // None for a stream too quiet or too short to be measured.
    std::optional<double> integratedLufs() const;
    // Linear, 1.0 being full scale; above it when the signal between the
    // samples overshoots.
    double truePeak() const;
    // The loudness of several streams heard one after the other (an album).
    static std::optional<double>
    combinedLufs(const QList<std::shared_ptr<const LoudnessScan>>& scans);

    // Reads and measures a file (or the samples of a range of it, the end
    // excluded; 0 for its end) with FFmpeg's decoders; null, with the reason,
    // when it cannot be read or was cancelled.
    static std::shared_ptr<LoudnessScan> scanFile(const QString& path, qint64 firstSample,
                                                  qint64 endSample,
                                                  const std::atomic<bool>& cancelled,
                                                  QString* error);

private:
    // The frame's samples from offset, count of them.
    bool add(const AVFrame* frame, int offset, int count);

    // libebur128's state, whose type its header declares without a name.
    struct Meter;
    Meter* m_meter = nullptr;
    int m_channels = 0;
};
