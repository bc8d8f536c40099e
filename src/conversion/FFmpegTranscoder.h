#pragma once

#include "conversion/CodecTable.h"
#include "conversion/ExportRequest.h"
#include "model/OutputCodec.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class LoudnessScan;

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct AVAudioFifo;
struct AVChannelLayout;
struct AVCodec;

// Decodes an audio file and encodes it into another container with FFmpeg's
// libraries, converting the sample rate and the channel count on the way,
// with the tags and the cover of the request.
class FFmpegTranscoder {
public:
    // The number of input samples decoded so far goes to progress, when given.
    FFmpegTranscoder(const ExportRequest& request, const std::atomic<bool>& cancelled,
                     std::atomic<qint64>* progress = nullptr);
    ~FFmpegTranscoder();
    FFmpegTranscoder(const FFmpegTranscoder&) = delete;
    FFmpegTranscoder& operator=(const FFmpegTranscoder&) = delete;

    // Writes the output at outputPath; false with error() on failure or on
    // cancellation.
    bool run(const QString& outputPath);

    // Scales a lossy output's audio by that many dB.
    void setGain(double decibels) { m_gainDb = decibels; }
    // The source's loudness, measured on the way when the request asks for
    // a scan; null otherwise.
    std::shared_ptr<const LoudnessScan> loudness() const { return m_scan; }

    QString error() const { return m_error; }
    // Set when the sample rate asked for could not be used.
    QString notice() const { return m_notice; }
    double inputSeconds() const;
    // How much longer than its input the encoder may make the output.
    double paddingSeconds() const;
    // The encoder's delay, last frame's padding and sample count as iTunes
    // states them in an MP4 ("iTunSMPB"), for players that read no edit
    // list; empty for other outputs.
    QString itunesGapless() const;
    // The channel layout FLAC defines for a channel count.
    static void flacChannelLayout(int channels, AVChannelLayout* layout);
    int outputSampleRate() const { return m_outputRate; }
    // The duration an FFmpeg reader finds in a written file, negative when unknown.
    static double probeDuration(const QString& path);
    static QString errorText(int code);
    // The FLAC picture block Ogg files keep their front cover in.
    static QByteArray vorbisPictureBlock(const QByteArray& data, const QString& mimeType);

private:
    bool fail(const QString& message);
    bool failWith(const char* step, int code);
    bool openInput();
    bool openOutput(const QString& outputPath);
    bool openEncoder();
    bool openResampler();
    bool addCoverStream();
    bool writeHeader();
    bool writeCover();
    bool pump();
    bool decodePacket(AVPacket* packet);
    bool resample(const AVFrame* input);
    bool drainFifo(bool final);
    // The resampled samples still to encode, within the length the source
    // has at the new rate.
    int pendingSamples() const;
    bool encode(AVFrame* frame);
    // The resampled samples scaled by the gain, when the format is float.
    void scale(uint8_t** planes, int samples) const;
    int sourceBitsPerSample() const;
    // The source's depth, or the maximum when a lossless output must be lower.
    int outputBitsPerSample() const;
    int chooseOutputRate();
    // The lossy encoder's bit rate, or its VBR level or quality scale.
    void setQuality(bool lame);
    void chooseEncoderLayout(const AVCodec* encoder, int channels);
    // False, with the reason, when a lossless encoder would have to remix.
    bool refuseRemixingLossless(const AVCodec* encoder);
    // The order to give the Opus encoder the source's channels in; null for
    // the order they come in.
    const int* opusInputOrder() const;
    static bool takesLayout(const AVCodec* encoder, const AVChannelLayout& layout);
    static QString layoutName(const AVChannelLayout& layout);
    // An AVSampleFormat.
    int chooseSampleFormat(const AVCodec* encoder) const;
    // The encoder's first format holding samples as that one does (packed
    // or planar); AV_SAMPLE_FMT_NONE when it has none.
    static int formatLike(const AVCodec* encoder, int format);

    ExportRequest m_request;
    const std::atomic<bool>& m_cancelled;
    std::atomic<qint64>* m_progress;
    const OutputCodec* m_codec = nullptr;
    QString m_error;
    QString m_notice;

    AVFormatContext* m_input = nullptr;
    AVCodecContext* m_decoder = nullptr;
    int m_inputStream = -1;
    AVFormatContext* m_output = nullptr;
    AVCodecContext* m_encoder = nullptr;
    AVStream* m_audioStream = nullptr;
    AVStream* m_coverStream = nullptr;
    SwrContext* m_resampler = nullptr;
    AVAudioFifo* m_fifo = nullptr;
    AVFrame* m_decoded = nullptr;
    AVFrame* m_encoded = nullptr;
    AVPacket* m_packet = nullptr;
    int m_outputRate = 0;
    qint64 m_inputSamples = 0;
    qint64 m_nextPts = 0;
    // Set once the source is read when the rate changes: how many samples
    // the output holds.
    qint64 m_outputLength = -1;
    double m_gainDb = 0.0;
    std::shared_ptr<LoudnessScan> m_scan;
};
