#include "LoudnessScan.h"

#include "conversion/TruePeakMeter.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/samplefmt.h>
}

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <vector>

struct LoudnessScan::Meter {
    ebur128_state* state = nullptr;
    // libebur128's own true peak costs several times its loudness.
    TruePeakMeter truePeak;
    std::vector<float> samples;
};

namespace {
// Where each of FLAC's channels stands, for its weight in the measure.
void mapChannels(ebur128_state* state, int channels) {
    static const int surround[8][8] = {
        {EBUR128_DUAL_MONO},
        {EBUR128_LEFT, EBUR128_RIGHT},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_LEFT_SURROUND,
         EBUR128_RIGHT_SURROUND},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_LEFT_SURROUND,
         EBUR128_RIGHT_SURROUND},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_Mp180, EBUR128_Mp090,
         EBUR128_Mm090},
        {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_Mp135, EBUR128_Mm135,
         EBUR128_Mp090, EBUR128_Mm090},
    };
    if (channels < 1 || channels > 8) {
        return;
    }
    for (int channel = 0; channel < channels; ++channel) {
        ebur128_set_channel(state, unsigned(channel), surround[channels - 1][channel]);
    }
}

// The frame's samples from offset, count of them, as interleaved floats.
void interleavedFloats(const AVFrame* frame, int offset, int count, int channels,
                       std::vector<float>* out) {
    const auto format = AVSampleFormat(frame->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    out->resize(size_t(count) * size_t(channels));
    float* into = out->data();
    const auto convert = [&](auto sample, float scale) {
        using Sample = decltype(sample);
        for (int channel = 0; channel < channels; ++channel) {
            const auto* data =
                reinterpret_cast<const Sample*>(frame->extended_data[planar ? channel : 0]);
            const int step = planar ? 1 : channels;
            const int first = planar ? offset : offset * channels + channel;
            for (int index = 0; index < count; ++index) {
                into[size_t(index) * size_t(channels) + size_t(channel)] =
                    float(data[first + index * step]) * scale;
            }
        }
    };
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        convert(uint8_t{}, 1.0f / 128.0f);
        for (float& value : *out) {
            value -= 1.0f;
        }
        break;
    case AV_SAMPLE_FMT_S16:
        convert(int16_t{}, 1.0f / 32768.0f);
        break;
    case AV_SAMPLE_FMT_S32:
        convert(int32_t{}, 1.0f / 2147483648.0f);
        break;
    case AV_SAMPLE_FMT_S64:
        convert(int64_t{}, 1.0f / 9223372036854775808.0f);
        break;
    case AV_SAMPLE_FMT_FLT:
        convert(float{}, 1.0f);
        break;
    case AV_SAMPLE_FMT_DBL:
        convert(double{}, 1.0f);
        break;
    default:
        std::fill(out->begin(), out->end(), 0.0f);
        break;
    }
}
} // namespace

LoudnessScan::LoudnessScan(int channels, int sampleRate) : m_channels(channels) {
    if (channels <= 0 || sampleRate <= 0) {
        return;
    }
    // The histogram keeps a state small whatever the length, so an album's
    // states can wait for its last track.
    ebur128_state* state = ebur128_init(unsigned(channels), static_cast<unsigned long>(sampleRate),
                                        EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM);
    if (state != nullptr) {
        mapChannels(state, channels);
        m_meter = new Meter{state, TruePeakMeter(channels), {}};
    }
}

LoudnessScan::~LoudnessScan() {
    if (m_meter != nullptr) {
        ebur128_destroy(&m_meter->state);
        delete m_meter;
    }
}

bool LoudnessScan::add(const AVFrame* frame) {
    return add(frame, 0, frame->nb_samples);
}

bool LoudnessScan::add(const AVFrame* frame, int offset, int count) {
    if (m_meter == nullptr || frame->ch_layout.nb_channels != m_channels || count <= 0) {
        return m_meter != nullptr;
    }
    interleavedFloats(frame, offset, count, m_channels, &m_meter->samples);
    m_meter->truePeak.add(m_meter->samples.data(), count);
    return ebur128_add_frames_float(m_meter->state, m_meter->samples.data(), size_t(count)) ==
           EBUR128_SUCCESS;
}

std::optional<double> LoudnessScan::integratedLufs() const {
    double loudness = -HUGE_VAL;
    if (m_meter == nullptr ||
        ebur128_loudness_global(m_meter->state, &loudness) != EBUR128_SUCCESS ||
        !std::isfinite(loudness)) {
        return std::nullopt;
    }
    return loudness;
}

double LoudnessScan::truePeak() const {
    return m_meter != nullptr ? m_meter->truePeak.peak() : 0.0;
}

std::optional<double>
LoudnessScan::combinedLufs(const QList<std::shared_ptr<const LoudnessScan>>& scans) {
    std::vector<ebur128_state*> states;
    for (const auto& scan : scans) {
        if (scan && scan->m_meter != nullptr) {
            states.push_back(scan->m_meter->state);
        }
    }
    double loudness = -HUGE_VAL;
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &loudness) !=
            EBUR128_SUCCESS ||
        !std::isfinite(loudness)) {
        return std::nullopt;
    }
    return loudness;
}

namespace {
// A file's decoding, freed however the scan ends.
struct Decoding {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    ~Decoding() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};
} // namespace

std::shared_ptr<LoudnessScan> LoudnessScan::scanFile(const QString& path, qint64 firstSample,
                                                     qint64 endSample,
                                                     const std::atomic<bool>& cancelled,
                                                     QString* error) {
    Decoding decoding;
    const auto failed = [error](const QString& reason) {
        *error = reason;
        return std::shared_ptr<LoudnessScan>();
    };
    if (avformat_open_input(&decoding.format, QFile::encodeName(path).constData(), nullptr,
                            nullptr) < 0 ||
        avformat_find_stream_info(decoding.format, nullptr) < 0) {
        return failed(QStringLiteral("%1 illisible").arg(path));
    }
    const AVCodec* decoder = nullptr;
    const int stream =
        av_find_best_stream(decoding.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || decoder == nullptr) {
        return failed(QStringLiteral("aucun flux audio dans %1").arg(path));
    }
    decoding.codec = avcodec_alloc_context3(decoder);
    const AVStream* audio = decoding.format->streams[stream];
    avcodec_parameters_to_context(decoding.codec, audio->codecpar);
    if (avcodec_open2(decoding.codec, decoder, nullptr) < 0) {
        return failed(QStringLiteral("décodage de %1 impossible").arg(path));
    }
    const int rate = decoding.codec->sample_rate;
    auto scan = std::make_shared<LoudnessScan>(decoding.codec->ch_layout.nb_channels, rate);
    const AVRational samples{1, rate};
    if (firstSample > 0) {
        av_seek_frame(decoding.format, stream, av_rescale_q(firstSample, samples, audio->time_base),
                      AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(decoding.codec);
    }
    const qint64 end = endSample > firstSample ? endSample : INT64_MAX;
    qint64 position = 0;
    bool reading = true;
    bool done = false;
    while (!done) {
        if (cancelled.load()) {
            return failed(QStringLiteral("annulé"));
        }
        if (reading) {
            const int status = av_read_frame(decoding.format, decoding.packet);
            if (status < 0) {
                reading = false;
                avcodec_send_packet(decoding.codec, nullptr);
            } else {
                if (decoding.packet->stream_index == stream) {
                    avcodec_send_packet(decoding.codec, decoding.packet);
                }
                av_packet_unref(decoding.packet);
            }
        }
        for (;;) {
            const int status = avcodec_receive_frame(decoding.codec, decoding.frame);
            if (status == AVERROR_EOF) {
                done = true;
                break;
            }
            if (status < 0) {
                done = !reading && status != AVERROR(EAGAIN);
                break;
            }
            if (decoding.frame->pts != AV_NOPTS_VALUE) {
                position = av_rescale_q(decoding.frame->pts, audio->time_base, samples);
            }
            const qint64 from = std::max(position, firstSample);
            const qint64 to = std::min(position + decoding.frame->nb_samples, end);
            if (to > from) {
                scan->add(decoding.frame, int(from - position), int(to - from));
            }
            position += decoding.frame->nb_samples;
            av_frame_unref(decoding.frame);
            done = position >= end;
            if (done) {
                break;
            }
        }
    }
    return scan;
}
