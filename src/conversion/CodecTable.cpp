#include "CodecTable.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstdlib>
#include <initializer_list>

const char* CodecTable::pcmEncoder(const OutputCodec& codec, int bitsPerSample) {
    const bool bigEndian = !codec.littleEndianPcm;
    if (bitsPerSample <= 8) {
        // AIFF-C keeps 8-bit samples as offset binary ("raw "): the only
        // 8-bit form its writer takes, and the same samples.
        return bigEndian && !codec.aifc ? "pcm_s8" : "pcm_u8";
    }
    if (bitsPerSample <= 16) {
        return bigEndian ? "pcm_s16be" : "pcm_s16le";
    }
    if (bitsPerSample <= 24) {
        return bigEndian ? "pcm_s24be" : "pcm_s24le";
    }
    return bigEndian ? "pcm_s32be" : "pcm_s32le";
}

unsigned CodecTable::aifcTag(int bitsPerSample) {
    if (bitsPerSample <= 8) {
        return MKTAG('r', 'a', 'w', ' ');
    }
    if (bitsPerSample <= 16) {
        return MKTAG('t', 'w', 'o', 's');
    }
    if (bitsPerSample <= 24) {
        return MKTAG('i', 'n', '2', '4');
    }
    return MKTAG('i', 'n', '3', '2');
}

qint64 CodecTable::nearestMp3BitRate(qint64 bitsPerSecond, int sampleRate) {
    static const std::initializer_list<int> mpeg1 = {32,  40,  48,  56,  64,  80,  96,
                                                     112, 128, 160, 192, 224, 256, 320};
    static const std::initializer_list<int> mpeg2 = {8,  16, 24, 32,  40,  48,  56,
                                                     64, 80, 96, 112, 128, 144, 160};
    static const std::initializer_list<int> mpeg25 = {8, 16, 24, 32, 40, 48, 56, 64};
    const auto& rates = sampleRate >= 32000 ? mpeg1 : (sampleRate >= 16000 ? mpeg2 : mpeg25);
    qint64 best = *rates.begin() * 1000LL;
    for (const int kbps : rates) {
        const qint64 candidate = kbps * 1000LL;
        if (std::llabs(candidate - bitsPerSecond) < std::llabs(best - bitsPerSecond)) {
            best = candidate;
        }
    }
    return best;
}

int CodecTable::limitedSampleRate(int sourceRate, int maximum) {
    if (maximum <= 0 || sourceRate <= maximum) {
        return sourceRate;
    }
    for (const int base : {44100, 48000}) {
        if (sourceRate % base != 0) {
            continue;
        }
        int rate = base;
        while (rate * 2 <= maximum) {
            rate *= 2;
        }
        return rate <= maximum ? rate : maximum;
    }
    return maximum;
}

int CodecTable::usableSampleRate(const OutputCodec& codec, int sampleRate) {
    if (codec.onlySampleRate > 0) {
        return codec.onlySampleRate;
    }
    const AVCodec* encoder =
        codec.encoder != nullptr ? avcodec_find_encoder_by_name(codec.encoder) : nullptr;
    if (encoder == nullptr || encoder->supported_samplerates == nullptr) {
        return sampleRate;
    }
    int best = encoder->supported_samplerates[0];
    for (const int* rate = encoder->supported_samplerates; *rate != 0; ++rate) {
        if (std::abs(*rate - sampleRate) < std::abs(best - sampleRate)) {
            best = *rate;
        }
    }
    return best;
}

QString CodecTable::rateNotice(const OutputCodec& codec, qint64 chosenRate, int sourceRate) {
    const bool chosen = chosenRate > 0;
    const int asked = chosen ? int(chosenRate) : sourceRate;
    if (asked <= 0 || (!chosen && codec.onlySampleRate != 0)) {
        return QString();
    }
    const int usable = usableSampleRate(codec, asked);
    if (usable == asked) {
        return QString();
    }
    return QStringLiteral("Fréquence de %1 Hz impossible en %2 : conversion à %3 Hz")
        .arg(QString::number(asked), codec.codecName(), QString::number(usable));
}
