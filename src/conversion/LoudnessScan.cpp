#include "LoudnessScan.h"

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

float sampleAt(const AVFrame* frame, AVSampleFormat format, int channel, int index, int channels) {
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const uint8_t* data = planar ? frame->extended_data[channel] : frame->extended_data[0];
    const int at = planar ? index : index * channels + channel;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        return (float(data[at]) - 128.0f) / 128.0f;
    case AV_SAMPLE_FMT_S16:
        return float(reinterpret_cast<const int16_t*>(data)[at]) / 32768.0f;
    case AV_SAMPLE_FMT_S32:
        return float(double(reinterpret_cast<const int32_t*>(data)[at]) / 2147483648.0);
    case AV_SAMPLE_FMT_S64:
        return float(double(reinterpret_cast<const int64_t*>(data)[at]) / 9223372036854775808.0);
    case AV_SAMPLE_FMT_FLT:
        return reinterpret_cast<const float*>(data)[at];
    case AV_SAMPLE_FMT_DBL:
        return float(reinterpret_cast<const double*>(data)[at]);
    default:
        return 0.0f;
    }
}
} // namespace

LoudnessScan::LoudnessScan(int channels, int sampleRate) : m_channels(channels) {
    if (channels <= 0 || sampleRate <= 0) {
        return;
    }
    // The histogram keeps a state small whatever the length, so an album's
    // states can wait for its last track.
    ebur128_state* state =
        ebur128_init(unsigned(channels), static_cast<unsigned long>(sampleRate),
                     EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM);
    if (state != nullptr) {
        mapChannels(state, channels);
        m_meter = new Meter{state};
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
    ebur128_state* state = m_meter->state;
    const auto format = AVSampleFormat(frame->format);
    const auto frames = size_t(count);
    // The packed formats the measure takes as they are.
    if (av_sample_fmt_is_planar(format) == 0 && format != AV_SAMPLE_FMT_U8 &&
        format != AV_SAMPLE_FMT_S64) {
        const uint8_t* start =
            frame->extended_data[0] +
            size_t(offset) * size_t(m_channels) * size_t(av_get_bytes_per_sample(format));
        switch (format) {
        case AV_SAMPLE_FMT_S16:
            return ebur128_add_frames_short(state, reinterpret_cast<const short*>(start), frames) ==
                   EBUR128_SUCCESS;
        case AV_SAMPLE_FMT_S32:
            return ebur128_add_frames_int(state, reinterpret_cast<const int*>(start), frames) ==
                   EBUR128_SUCCESS;
        case AV_SAMPLE_FMT_FLT:
            return ebur128_add_frames_float(state, reinterpret_cast<const float*>(start), frames) ==
                   EBUR128_SUCCESS;
        case AV_SAMPLE_FMT_DBL:
            return ebur128_add_frames_double(state, reinterpret_cast<const double*>(start),
                                             frames) == EBUR128_SUCCESS;
        default:
            break;
        }
    }
    std::vector<float> interleaved(frames * size_t(m_channels));
    for (int index = 0; index < count; ++index) {
        for (int channel = 0; channel < m_channels; ++channel) {
            interleaved[size_t(index) * size_t(m_channels) + size_t(channel)] =
                sampleAt(frame, format, channel, offset + index, m_channels);
        }
    }
    return ebur128_add_frames_float(state, interleaved.data(), frames) == EBUR128_SUCCESS;
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
    double peak = 0.0;
    for (int channel = 0; m_meter != nullptr && channel < m_channels; ++channel) {
        double value = 0.0;
        if (ebur128_true_peak(m_meter->state, unsigned(channel), &value) == EBUR128_SUCCESS) {
            peak = std::max(peak, value);
        }
    }
    return peak;
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
