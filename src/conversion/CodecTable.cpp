#include "CodecTable.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstdlib>
#include <initializer_list>

bool CodecTable::lookup(const QString& codec, Entry* entry) {
    Entry found;
    if (codec == QLatin1String("m4a")) {
        found = {"ipod", "aac", 256000, true, false, true, false};
    } else if (codec == QLatin1String("aac")) {
        found = {"mp4", "aac", 256000, true, false, true, false};
    } else if (codec == QLatin1String("mp3")) {
        found = {"mp3", "libmp3lame", 320000, true, false, true, false};
    } else if (codec == QLatin1String("aif")) {
        found = {"aiff", nullptr, 0, true, false, true, true};
    } else if (codec == QLatin1String("aifc")) {
        found = {"aiff", nullptr, 0, true, true, true, true};
    } else if (codec == QLatin1String("wav")) {
        found = {"wav", nullptr, 0, false, false, false, false};
    } else if (codec == QLatin1String("caf")) {
        found = {"caf", nullptr, 0, true, false, false, false};
    } else {
        return false;
    }
    *entry = found;
    return true;
}

const char* CodecTable::pcmEncoder(const Entry& entry, int bitsPerSample) {
    if (bitsPerSample <= 8) {
        // AIFF-C keeps 8-bit samples as offset binary ("raw "): the only
        // 8-bit form its writer takes, and the same samples.
        return entry.bigEndianPcm && !entry.aifc ? "pcm_s8" : "pcm_u8";
    }
    if (bitsPerSample <= 16) {
        return entry.bigEndianPcm ? "pcm_s16be" : "pcm_s16le";
    }
    if (bitsPerSample <= 24) {
        return entry.bigEndianPcm ? "pcm_s24be" : "pcm_s24le";
    }
    return entry.bigEndianPcm ? "pcm_s32be" : "pcm_s32le";
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

int CodecTable::nearestSampleRate(const char* encoderName, int sampleRate) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName);
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
