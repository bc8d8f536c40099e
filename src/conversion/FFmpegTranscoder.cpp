#include "FFmpegTranscoder.h"

#include "conversion/LoudnessScan.h"
#include "conversion/OutputTagWriter.h"
#include "model/CodecQuality.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {
constexpr int kPcmFrameSamples = 4096;
// soxr's "very high quality": 28 bits of precision.
constexpr double kSoxrVeryHighPrecision = 28.0;

QByteArray encodedPath(const QString& path) {
    return QFile::encodeName(path);
}
} // namespace

FFmpegTranscoder::FFmpegTranscoder(const ExportRequest& request, const std::atomic<bool>& cancelled,
                                   std::atomic<qint64>* progress)
    : m_request(request), m_cancelled(cancelled), m_progress(progress) {
    // The libraries' chatter would drown the program's own lines; their errors
    // reach the user through the export's failure text.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
}

FFmpegTranscoder::~FFmpegTranscoder() {
    av_packet_free(&m_packet);
    av_frame_free(&m_decoded);
    av_frame_free(&m_encoded);
    if (m_fifo != nullptr) {
        av_audio_fifo_free(m_fifo);
    }
    swr_free(&m_resampler);
    avcodec_free_context(&m_encoder);
    avcodec_free_context(&m_decoder);
    if (m_output != nullptr) {
        if (m_output->pb != nullptr) {
            avio_closep(&m_output->pb);
        }
        avformat_free_context(m_output);
    }
    avformat_close_input(&m_input);
}

QString FFmpegTranscoder::errorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

bool FFmpegTranscoder::fail(const QString& message) {
    if (m_error.isEmpty()) {
        m_error = message;
    }
    return false;
}

bool FFmpegTranscoder::failWith(const char* step, int code) {
    // The step names are UTF-8 French.
    return fail(QStringLiteral("%1 : %2").arg(QString::fromUtf8(step), errorText(code)));
}

void FFmpegTranscoder::flacChannelLayout(int channels, AVChannelLayout* layout) {
    // The order FLAC defines for each channel count.
    static const uint64_t masks[] = {AV_CH_LAYOUT_MONO,         AV_CH_LAYOUT_STEREO,
                                     AV_CH_LAYOUT_SURROUND,     AV_CH_LAYOUT_QUAD,
                                     AV_CH_LAYOUT_5POINT0_BACK, AV_CH_LAYOUT_5POINT1_BACK,
                                     AV_CH_LAYOUT_6POINT1,      AV_CH_LAYOUT_7POINT1};
    av_channel_layout_uninit(layout);
    if (channels >= 1 && channels <= 8) {
        av_channel_layout_from_mask(layout, masks[channels - 1]);
    } else {
        av_channel_layout_default(layout, channels);
    }
}

QString FFmpegTranscoder::layoutName(const AVChannelLayout& layout) {
    char text[128] = {};
    av_channel_layout_describe(&layout, text, sizeof text);
    return QString::fromUtf8(text);
}

bool FFmpegTranscoder::takesLayout(const AVCodec* encoder, const AVChannelLayout& layout) {
    if (encoder->ch_layouts == nullptr) {
        return true;
    }
    for (const AVChannelLayout* known = encoder->ch_layouts; known->nb_channels != 0; ++known) {
        if (av_channel_layout_compare(known, &layout) == 0) {
            return true;
        }
    }
    return false;
}

bool FFmpegTranscoder::refuseRemixingLossless(const AVCodec* encoder) {
    // A lossless output keeps every channel where it was: a layout the
    // encoder has no place for is refused, never remixed into one it has.
    if (!m_codec->lossless || m_request.channels > 0 ||
        takesLayout(encoder, m_decoder->ch_layout)) {
        return true;
    }
    QStringList known;
    for (const AVChannelLayout* layout = encoder->ch_layouts; layout->nb_channels != 0; ++layout) {
        known << layoutName(*layout);
    }
    return fail(QStringLiteral("%1 ne peut pas garder les %2 canaux de la source (%3) sans les "
                               "mélanger : dispositions possibles %4")
                    .arg(QLatin1String(m_codec->popupText))
                    .arg(m_decoder->ch_layout.nb_channels)
                    .arg(layoutName(m_decoder->ch_layout), known.join(QStringLiteral(", "))));
}

void FFmpegTranscoder::chooseEncoderLayout(const AVCodec* encoder, int channels) {
    if (channels == m_decoder->ch_layout.nb_channels) {
        av_channel_layout_copy(&m_encoder->ch_layout, &m_decoder->ch_layout);
    } else {
        av_channel_layout_default(&m_encoder->ch_layout, channels);
    }
    if (encoder->ch_layouts == nullptr) {
        return;
    }
    // An encoder that does not take the source's layout gets one of its own
    // with as many channels; the resampler maps the channels onto it.
    const AVChannelLayout* sameCount = nullptr;
    for (const AVChannelLayout* layout = encoder->ch_layouts; layout->nb_channels != 0; ++layout) {
        if (av_channel_layout_compare(layout, &m_encoder->ch_layout) == 0) {
            return;
        }
        if (sameCount == nullptr && layout->nb_channels == channels) {
            sameCount = layout;
        }
    }
    if (sameCount != nullptr) {
        av_channel_layout_uninit(&m_encoder->ch_layout);
        av_channel_layout_copy(&m_encoder->ch_layout, sameCount);
    }
}

double FFmpegTranscoder::paddingSeconds() const {
    if (m_encoder == nullptr || m_outputRate <= 0) {
        return 0.0;
    }
    // A lossy encoder adds its delay and fills its last frame; a reader may
    // count a frame more or less than the encoder wrote.
    const int frame = std::max(m_encoder->frame_size, 0);
    return double(m_encoder->initial_padding + 2 * frame) / m_outputRate;
}

QString FFmpegTranscoder::itunesGapless() const {
    if (m_encoder == nullptr || m_codec == nullptr || m_codec->lossless ||
        m_codec->tags != OutputCodec::Tags::Mp4Atoms || m_encoder->frame_size <= 0) {
        return QString();
    }
    const qint64 delay = m_encoder->initial_padding;
    const qint64 frame = m_encoder->frame_size;
    const qint64 frames = (m_nextPts + delay + frame - 1) / frame;
    const qint64 padding = frames * frame - delay - m_nextPts;
    QString text = QString::asprintf(
        " 00000000 %08llX %08llX %016llX", static_cast<unsigned long long>(delay),
        static_cast<unsigned long long>(padding), static_cast<unsigned long long>(m_nextPts));
    for (int field = 0; field < 8; ++field) {
        text += QStringLiteral(" 00000000");
    }
    return text;
}

double FFmpegTranscoder::inputSeconds() const {
    return m_decoder != nullptr && m_decoder->sample_rate > 0
               ? double(m_inputSamples) / m_decoder->sample_rate
               : 0.0;
}

int FFmpegTranscoder::outputBitsPerSample() const {
    const int bits = sourceBitsPerSample();
    // Only lossless outputs have a depth of their own to lower.
    const int maximum = m_request.maxBits;
    return m_codec->lossless && maximum > 0 && bits > maximum ? maximum : bits;
}

int FFmpegTranscoder::sourceBitsPerSample() const {
    const AVCodecParameters* parameters = m_input->streams[m_inputStream]->codecpar;
    int bits = parameters->bits_per_raw_sample > 0 ? parameters->bits_per_raw_sample
                                                   : parameters->bits_per_coded_sample;
    if (bits <= 0) {
        bits = av_get_bytes_per_sample(m_decoder->sample_fmt) * 8;
    }
    return bits;
}

bool FFmpegTranscoder::openInput() {
    int status = avformat_open_input(&m_input, encodedPath(m_request.inputPath).constData(),
                                     nullptr, nullptr);
    if (status < 0) {
        return failWith("ouverture du fichier décodé", status);
    }
    status = avformat_find_stream_info(m_input, nullptr);
    if (status < 0) {
        return failWith("lecture du fichier décodé", status);
    }
    const AVCodec* decoder = nullptr;
    m_inputStream = av_find_best_stream(m_input, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (m_inputStream < 0 || decoder == nullptr) {
        return fail(QStringLiteral("aucun flux audio dans le fichier décodé"));
    }
    m_decoder = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(m_decoder, m_input->streams[m_inputStream]->codecpar);
    status = avcodec_open2(m_decoder, decoder, nullptr);
    if (status < 0) {
        return failWith("ouverture du décodeur", status);
    }
    // The decoded file carries no layout of its own: its channels are in
    // FLAC's order.
    flacChannelLayout(m_decoder->ch_layout.nb_channels, &m_decoder->ch_layout);
    if (m_request.replayGain == ReplayGainMode::Scan && m_request.knownLoudness.isEmpty()) {
        m_scan = std::make_shared<LoudnessScan>(m_decoder->ch_layout.nb_channels,
                                                m_decoder->sample_rate);
    }
    return true;
}

int FFmpegTranscoder::chooseOutputRate() {
    const int source =
        CodecTable::limitedSampleRate(m_decoder->sample_rate, m_request.maxSampleRate);
    m_notice = CodecTable::rateNotice(*m_codec, m_request.sampleRate, source);
    return CodecTable::usableSampleRate(
        *m_codec, m_request.sampleRate > 0 ? int(m_request.sampleRate) : source);
}

bool FFmpegTranscoder::openOutput(const QString& outputPath) {
    m_codec = OutputCodec::find(m_request.codec);
    if (m_codec == nullptr) {
        return fail(QStringLiteral("codec %1 inconnu").arg(m_request.codec));
    }
    const int status = avformat_alloc_output_context2(&m_output, nullptr, m_codec->muxer, nullptr);
    if (status < 0 || m_output == nullptr) {
        return failWith("création du conteneur", status);
    }
    const int opened =
        avio_open(&m_output->pb, encodedPath(outputPath).constData(), AVIO_FLAG_WRITE);
    if (opened < 0) {
        return failWith("création du fichier", opened);
    }
    for (const auto& tag : OutputTagWriter::muxerTags(*m_codec, m_request.tags)) {
        av_dict_set(&m_output->metadata, tag.first.toUtf8().constData(),
                    tag.second.toUtf8().constData(), 0);
    }
    return true;
}

bool FFmpegTranscoder::openEncoder() {
    const int bits = outputBitsPerSample();
    const bool pcm = m_codec->encoder == nullptr;
    const char* name = pcm ? CodecTable::pcmEncoder(*m_codec, bits) : m_codec->encoder;
    const bool alac = qstrcmp(name, "alac") == 0;
    if (alac && bits > 24) {
        // FFmpeg's ALAC encoder keeps 24 bits at most: never lose the rest.
        return fail(QStringLiteral("ALAC ne garde pas plus de 24 bits par échantillon (source : "
                                   "%1 bits)")
                        .arg(bits));
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name(name);
    if (encoder == nullptr) {
        return fail(QStringLiteral("encodeur %1 absent").arg(QLatin1String(name)));
    }
    if (!refuseRemixingLossless(encoder)) {
        return false;
    }
    m_encoder = avcodec_alloc_context3(encoder);
    m_outputRate = chooseOutputRate();
    m_encoder->sample_rate = m_outputRate;
    int channels =
        m_request.channels > 0 ? int(m_request.channels) : m_decoder->ch_layout.nb_channels;
    if (qstrcmp(name, "libmp3lame") == 0) {
        channels = std::min(channels, 2);
    }
    chooseEncoderLayout(encoder, channels);
    m_encoder->sample_fmt = AVSampleFormat(chooseSampleFormat(encoder));
    m_encoder->time_base = AVRational{1, m_outputRate};
    if (!m_codec->lossless) {
        setQuality(qstrcmp(name, "libmp3lame") == 0);
    } else {
        // ALAC stores 16 or 24 bits; the PCM containers the source's depth.
        m_encoder->bits_per_raw_sample = alac ? (bits <= 16 ? 16 : 24) : bits;
    }
    if ((m_output->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        m_encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    const int status = avcodec_open2(m_encoder, encoder, nullptr);
    if (status < 0) {
        return failWith("ouverture de l'encodeur", status);
    }
    m_audioStream = avformat_new_stream(m_output, nullptr);
    avcodec_parameters_from_context(m_audioStream->codecpar, m_encoder);
    m_audioStream->time_base = m_encoder->time_base;
    if (m_codec->aifc) {
        m_audioStream->codecpar->codec_tag = CodecTable::aifcTag(bits);
    }
    const int sourceBits = m_request.sourceBitsPerSample;
    if (pcm && m_codec->id3InAiff && sourceBits > 0 && sourceBits < bits &&
        bits == sourceBitsPerSample() && (sourceBits + 7) / 8 == (bits + 7) / 8) {
        // AIFF says how many bits of each word are the sample's (12 or 20).
        m_audioStream->codecpar->bits_per_coded_sample = sourceBits;
    }
    return true;
}

void FFmpegTranscoder::setQuality(bool lame) {
    const QString quality = m_request.quality.isEmpty()
                                ? CodecQuality::defaultQuality(CodecQuality::familyOf(*m_codec))
                                : m_request.quality;
    const qint64 rate = CodecQuality::bitRate(quality);
    if (rate > 0) {
        m_encoder->bit_rate = lame ? CodecTable::nearestMp3BitRate(rate, m_outputRate) : rate;
        return;
    }
    // LAME's VBR level, or Vorbis's quality scale: both read from the
    // global quality (Opus and AAC qualities are bit rates).
    m_encoder->flags |= AV_CODEC_FLAG_QSCALE;
    m_encoder->global_quality = CodecQuality::level(quality) * FF_QP2LAMBDA;
}

int FFmpegTranscoder::formatLike(const AVCodec* encoder, int format) {
    const AVSampleFormat packed = av_get_packed_sample_fmt(AVSampleFormat(format));
    for (const AVSampleFormat* taken = encoder->sample_fmts; *taken != AV_SAMPLE_FMT_NONE;
         ++taken) {
        if (av_get_packed_sample_fmt(*taken) == packed) {
            return *taken;
        }
    }
    return AV_SAMPLE_FMT_NONE;
}

int FFmpegTranscoder::chooseSampleFormat(const AVCodec* encoder) const {
    if (encoder->sample_fmts == nullptr) {
        return m_decoder->sample_fmt;
    }
    // A depth lowered to 16 bits is written from 16-bit samples, which the
    // resampler dithers down to; a gain is applied to float samples, so that
    // nothing is lost or wraps; otherwise the decoded format itself, packed
    // or planar, keeps every bit.
    const bool lowered =
        m_codec->lossless && outputBitsPerSample() <= 16 && sourceBitsPerSample() > 16;
    const bool scaled = m_gainDb != 0.0 && !m_codec->lossless;
    for (const AVSampleFormat wanted :
         {lowered ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_NONE,
          scaled ? AV_SAMPLE_FMT_FLT : AV_SAMPLE_FMT_NONE, m_decoder->sample_fmt}) {
        const int format =
            wanted != AV_SAMPLE_FMT_NONE ? formatLike(encoder, wanted) : int(AV_SAMPLE_FMT_NONE);
        if (format != AV_SAMPLE_FMT_NONE) {
            return format;
        }
    }
    return encoder->sample_fmts[0];
}

QByteArray FFmpegTranscoder::vorbisPictureBlock(const QByteArray& data, const QString& mimeType) {
    const auto number = [](QByteArray& block, quint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            block.append(char((value >> shift) & 0xff));
        }
    };
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    const QByteArray mime = mimeType.toLatin1();
    QByteArray block;
    number(block, 3); // front cover
    number(block, quint32(mime.size()));
    block.append(mime);
    number(block, 0); // no description
    number(block, quint32(std::max(size.width(), 0)));
    number(block, quint32(std::max(size.height(), 0)));
    // A picture kept as it is, that no reader here can open, has no known size.
    number(block, size.isValid() ? 24 : 0);
    number(block, 0);
    number(block, quint32(data.size()));
    block.append(data);
    return block;
}

bool FFmpegTranscoder::openResampler() {
    int status = swr_alloc_set_opts2(&m_resampler, &m_encoder->ch_layout, m_encoder->sample_fmt,
                                     m_encoder->sample_rate, &m_decoder->ch_layout,
                                     m_decoder->sample_fmt, m_decoder->sample_rate, 0, nullptr);
    if (status >= 0) {
        // A downmix keeps every channel: the LFE too, as the centre is kept.
        av_opt_set_double(m_resampler, "lfe_mix_level", M_SQRT1_2, 0);
        // The SoX resampler at very high precision for a change of rate, and
        // triangular dither when a lossless output's depth is lowered: never
        // otherwise, so that a kept depth stays the decoded samples.
        av_opt_set_int(m_resampler, "resampler", SWR_ENGINE_SOXR, 0);
        av_opt_set_double(m_resampler, "precision", kSoxrVeryHighPrecision, 0);
        if (outputBitsPerSample() < sourceBitsPerSample()) {
            av_opt_set_int(m_resampler, "dither_method", SWR_DITHER_TRIANGULAR, 0);
        }
        if (const int* order = opusInputOrder()) {
            status = swr_set_channel_mapping(m_resampler, order);
        }
    }
    if (status >= 0) {
        status = swr_init(m_resampler);
    }
    if (status < 0) {
        return failWith("conversion du format", status);
    }
    m_fifo = av_audio_fifo_alloc(m_encoder->sample_fmt, m_encoder->ch_layout.nb_channels,
                                 kPcmFrameSamples);
    m_decoded = av_frame_alloc();
    m_encoded = av_frame_alloc();
    m_packet = av_packet_alloc();
    return m_fifo != nullptr && m_decoded != nullptr && m_encoded != nullptr && m_packet != nullptr
               ? true
               : fail(QStringLiteral("mémoire insuffisante"));
}

const int* FFmpegTranscoder::opusInputOrder() const {
    // FFmpeg's libopus wrapper hands 5.0 and 6.1 to the encoder in an order
    // that puts them on the wrong speakers of the Opus mapping (family 1,
    // RFC 7845): the channels are given to it in the order that lands each
    // on its own speaker. The other counts it maps right.
    static const int fivePointZero[] = {0, 1, 4, 2, 3};
    static const int sixPointOne[] = {0, 1, 4, 3, 5, 2, 6};
    if (qstrcmp(m_encoder->codec->name, "libopus") != 0 ||
        av_channel_layout_compare(&m_encoder->ch_layout, &m_decoder->ch_layout) != 0) {
        return nullptr;
    }
    switch (m_encoder->ch_layout.nb_channels) {
    case 5:
        return fivePointZero;
    case 7:
        return sixPointOne;
    default:
        return nullptr;
    }
}

bool FFmpegTranscoder::addCoverStream() {
    if (m_request.coverData.isEmpty() || m_codec->cover == OutputCodec::Cover::None) {
        return true;
    }
    if (m_codec->cover == OutputCodec::Cover::VorbisPicture) {
        // Ogg keeps its cover as a comment: the FLAC picture block, in base64.
        av_dict_set(
            &m_output->metadata, "METADATA_BLOCK_PICTURE",
            vorbisPictureBlock(m_request.coverData, m_request.coverMimeType).toBase64().constData(),
            0);
        return true;
    }
    const bool png = m_request.coverMimeType == QLatin1String("image/png");
    m_coverStream = avformat_new_stream(m_output, nullptr);
    m_coverStream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    m_coverStream->codecpar->codec_id = png ? AV_CODEC_ID_PNG : AV_CODEC_ID_MJPEG;
    QBuffer buffer(&m_request.coverData);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    m_coverStream->codecpar->width = size.width();
    m_coverStream->codecpar->height = size.height();
    m_coverStream->disposition = AV_DISPOSITION_ATTACHED_PIC;
    // ID3 picture frames take their type from this text: front cover (3).
    av_dict_set(&m_coverStream->metadata, "comment", "Cover (front)", 0);
    m_coverStream->time_base = AVRational{1, 90000};
    return true;
}

bool FFmpegTranscoder::writeHeader() {
    AVDictionary* options = nullptr;
    if (m_codec->id3InAiff) {
        av_dict_set(&options, "write_id3v2", "1", 0);
    }
    if (m_codec->tags == OutputCodec::Tags::Mp4Atoms) {
        // The edit list that cuts the encoder's delay and last frame is
        // timed in the movie's time scale: at the default of 1/1000 s a
        // track loses or gains up to 22 samples, at the sample rate none.
        av_dict_set_int(&options, "movie_timescale", m_outputRate, 0);
    }
    const int status = avformat_write_header(m_output, &options);
    av_dict_free(&options);
    if (status < 0) {
        return failWith("écriture de l'en-tête", status);
    }
    return true;
}

bool FFmpegTranscoder::writeCover() {
    if (m_coverStream == nullptr) {
        return true;
    }
    AVPacket* picture = av_packet_alloc();
    av_new_packet(picture, int(m_request.coverData.size()));
    std::copy(m_request.coverData.cbegin(), m_request.coverData.cend(), picture->data);
    picture->stream_index = m_coverStream->index;
    picture->flags |= AV_PKT_FLAG_KEY;
    picture->pts = picture->dts = 0;
    const int status = av_write_frame(m_output, picture);
    av_packet_free(&picture);
    return status < 0 ? failWith("écriture de la pochette", status) : true;
}

bool FFmpegTranscoder::encode(AVFrame* frame) {
    int status = avcodec_send_frame(m_encoder, frame);
    if (status < 0) {
        return failWith("encodage", status);
    }
    for (;;) {
        status = avcodec_receive_packet(m_encoder, m_packet);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) {
            return true;
        }
        if (status < 0) {
            return failWith("encodage", status);
        }
        av_packet_rescale_ts(m_packet, m_encoder->time_base, m_audioStream->time_base);
        m_packet->stream_index = m_audioStream->index;
        status = av_write_frame(m_output, m_packet);
        av_packet_unref(m_packet);
        if (status < 0) {
            return failWith("écriture", status);
        }
    }
}

bool FFmpegTranscoder::drainFifo(bool final) {
    const bool fixedFrames = m_encoder->frame_size > 0 && (m_encoder->codec->capabilities &
                                                           AV_CODEC_CAP_VARIABLE_FRAME_SIZE) == 0;
    const int frameSamples = fixedFrames ? m_encoder->frame_size : kPcmFrameSamples;
    while (pendingSamples() >= frameSamples || (final && pendingSamples() > 0)) {
        const int samples = std::min(pendingSamples(), frameSamples);
        av_frame_unref(m_encoded);
        m_encoded->nb_samples = samples;
        m_encoded->format = m_encoder->sample_fmt;
        m_encoded->sample_rate = m_encoder->sample_rate;
        av_channel_layout_copy(&m_encoded->ch_layout, &m_encoder->ch_layout);
        int status = av_frame_get_buffer(m_encoded, 0);
        if (status < 0) {
            return failWith("mémoire", status);
        }
        if (av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(m_encoded->data), samples) <
            samples) {
            return fail(QStringLiteral("lecture du tampon audio"));
        }
        m_encoded->pts = m_nextPts;
        m_nextPts += samples;
        if (!encode(m_encoded)) {
            return false;
        }
    }
    return true;
}

int FFmpegTranscoder::pendingSamples() const {
    const int buffered = av_audio_fifo_size(m_fifo);
    if (m_outputLength < 0) {
        return buffered;
    }
    return int(std::clamp<qint64>(m_outputLength - m_nextPts, 0, buffered));
}

bool FFmpegTranscoder::resample(const AVFrame* input) {
    const int inputSamples = input != nullptr ? input->nb_samples : 0;
    const int capacity = swr_get_out_samples(m_resampler, inputSamples);
    if (capacity <= 0) {
        return true;
    }
    uint8_t** buffer = nullptr;
    int status = av_samples_alloc_array_and_samples(
        &buffer, nullptr, m_encoder->ch_layout.nb_channels, capacity, m_encoder->sample_fmt, 0);
    if (status < 0) {
        return failWith("mémoire", status);
    }
    const int converted =
        swr_convert(m_resampler, buffer, capacity,
                    input != nullptr ? const_cast<const uint8_t**>(input->extended_data) : nullptr,
                    inputSamples);
    bool written = converted >= 0;
    if (converted > 0) {
        scale(buffer, converted);
        written =
            av_audio_fifo_write(m_fifo, reinterpret_cast<void**>(buffer), converted) == converted;
    }
    av_freep(&buffer[0]);
    av_freep(&buffer);
    return written ? true : fail(QStringLiteral("conversion du format"));
}

void FFmpegTranscoder::scale(uint8_t** planes, int samples) const {
    const AVSampleFormat format = m_encoder->sample_fmt;
    if (m_gainDb == 0.0 || m_codec->lossless ||
        av_get_packed_sample_fmt(format) != AV_SAMPLE_FMT_FLT) {
        return;
    }
    const auto factor = float(std::pow(10.0, m_gainDb / 20.0));
    const int channels = m_encoder->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int planeCount = planar ? channels : 1;
    const int perPlane = planar ? samples : samples * channels;
    for (int plane = 0; plane < planeCount; ++plane) {
        auto* values = reinterpret_cast<float*>(planes[plane]);
        for (int index = 0; index < perPlane; ++index) {
            values[index] *= factor;
        }
    }
}

bool FFmpegTranscoder::decodePacket(AVPacket* packet) {
    int status = avcodec_send_packet(m_decoder, packet);
    if (status < 0 && status != AVERROR_EOF) {
        return failWith("décodage", status);
    }
    for (;;) {
        status = avcodec_receive_frame(m_decoder, m_decoded);
        if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) {
            return true;
        }
        if (status < 0) {
            return failWith("décodage", status);
        }
        m_inputSamples += m_decoded->nb_samples;
        if (m_scan) {
            m_scan->add(m_decoded);
        }
        if (m_progress != nullptr) {
            m_progress->store(m_inputSamples);
        }
        const bool converted = resample(m_decoded);
        av_frame_unref(m_decoded);
        if (!converted || !drainFifo(false)) {
            return false;
        }
    }
}

bool FFmpegTranscoder::pump() {
    AVPacket* packet = av_packet_alloc();
    bool ok = true;
    for (;;) {
        if (m_cancelled.load()) {
            ok = fail(QStringLiteral("annulé"));
            break;
        }
        const int status = av_read_frame(m_input, packet);
        if (status == AVERROR_EOF) {
            break;
        }
        if (status < 0) {
            ok = failWith("lecture", status);
            break;
        }
        if (packet->stream_index == m_inputStream) {
            ok = decodePacket(packet);
        }
        av_packet_unref(packet);
        if (!ok) {
            break;
        }
    }
    av_packet_free(&packet);
    if (!ok) {
        return false;
    }
    // Flush the decoder, the resampler, then the encoder.
    if (!decodePacket(nullptr)) {
        return false;
    }
    for (;;) {
        const int before = av_audio_fifo_size(m_fifo);
        if (!resample(nullptr)) {
            return false;
        }
        if (av_audio_fifo_size(m_fifo) == before) {
            break;
        }
    }
    // The resampler's flush may round the length up. A track lasts as long
    // as its source, to the nearest sample at the new rate, so that the next
    // track of a recording starts where it should.
    if (m_decoder->sample_rate != m_outputRate) {
        m_outputLength =
            av_rescale_rnd(m_inputSamples, m_outputRate, m_decoder->sample_rate, AV_ROUND_NEAR_INF);
    }
    return drainFifo(true) && encode(nullptr);
}

bool FFmpegTranscoder::run(const QString& outputPath) {
    if (!openInput() || !openOutput(outputPath) || !openEncoder() || !openResampler() ||
        !addCoverStream() || !writeHeader() || !writeCover() || !pump()) {
        return false;
    }
    int status = av_write_trailer(m_output);
    if (status < 0) {
        return failWith("écriture de la fin du fichier", status);
    }
    status = avio_closep(&m_output->pb);
    if (status < 0) {
        return failWith("fermeture du fichier", status);
    }
    return true;
}

double FFmpegTranscoder::probeDuration(const QString& path) {
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, encodedPath(path).constData(), nullptr, nullptr) < 0) {
        return -1.0;
    }
    double seconds = -1.0;
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        const int index = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (index >= 0) {
            const AVStream* stream = context->streams[index];
            if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
                seconds = double(stream->duration) * av_q2d(stream->time_base);
            } else if (context->duration != AV_NOPTS_VALUE) {
                seconds = double(context->duration) / AV_TIME_BASE;
            }
        }
    }
    avformat_close_input(&context);
    return seconds;
}
