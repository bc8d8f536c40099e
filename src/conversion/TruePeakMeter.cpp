#include "TruePeakMeter.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {
constexpr int kPhases = 4;
// Each interpolated value is made from the 12 samples around it: 5 before
// the sample it follows, that sample, and 6 after.
constexpr int kBefore = 5;
constexpr int kAfter = 6;
constexpr int kTaps = kBefore + 1 + kAfter;
// The stretches judged at once.
constexpr int kStretch = 64;

struct Filter {
    // The taps of the three phases between two samples (the fourth is the
    // sample itself).
    std::array<std::array<float, kTaps>, kPhases - 1> taps{};
    // The most a phase can make of samples of level 1.
    float gain = 1.0f;
};

const Filter& filter() {
    static const Filter made = [] {
        Filter result;
        constexpr double pi = 3.14159265358979323846;
        for (int phase = 1; phase < kPhases; ++phase) {
            const double offset = double(phase) / kPhases;
            double sum = 0.0;
            std::array<double, kTaps> taps{};
            for (int tap = 0; tap < kTaps; ++tap) {
                const double distance = offset - double(tap - kBefore);
                const double sinc = std::sin(pi * distance) / (pi * distance);
                // A Hann window over the twelve samples.
                const double window = 0.5 + 0.5 * std::cos(pi * distance / (double(kAfter) + 0.5));
                taps[tap] = sinc * window;
                sum += taps[tap];
            }
            double gain = 0.0;
            for (int tap = 0; tap < kTaps; ++tap) {
                result.taps[phase - 1][tap] = float(taps[tap] / sum);
                gain += std::abs(taps[tap] / sum);
            }
            result.gain = std::max(result.gain, float(gain));
        }
        return result;
    }();
    return made;
}
} // namespace

TruePeakMeter::TruePeakMeter(int channels) : m_channels(size_t(std::max(channels, 0))) {
    for (Channel& channel : m_channels) {
        // Silence before the first sample.
        channel.pending.assign(kBefore, 0.0f);
    }
}

float TruePeakMeter::interpolatedPeak(const float* first, int count) {
    // Each phase over the whole stretch at once, tap by tap: the inner loop
    // runs along the samples, which the compiler does several at a time.
    if (count < kStretch) {
        // The last few of a stream: their own copy, padded with silence.
        std::array<float, kStretch + kTaps> padded{};
        std::copy(first, first + count + kTaps - 1, padded.begin());
        return interpolatedPeak(padded.data(), kStretch);
    }
    std::array<float, kStretch> values{};
    float highest = 0.0f;
    for (const auto& taps : filter().taps) {
        values.fill(0.0f);
        for (int tap = 0; tap < kTaps; ++tap) {
            const float weight = taps[size_t(tap)];
            const float* samples = first + tap;
            for (size_t index = 0; index < kStretch; ++index) {
                values[index] += weight * samples[index];
            }
        }
        for (const float value : values) {
            highest = std::max(highest, std::abs(value));
        }
    }
    return highest;
}

void TruePeakMeter::add(const float* interleaved, int frames) {
    const size_t channels = m_channels.size();
    for (size_t channel = 0; channel < channels && frames > 0; ++channel) {
        std::vector<float>& pending = m_channels[channel].pending;
        const size_t start = pending.size();
        pending.resize(start + size_t(frames));
        for (size_t frame = 0; frame < size_t(frames); ++frame) {
            pending[start + frame] = interleaved[frame * channels + channel];
        }
        measure(m_channels[channel], false, &m_peak);
    }
}

void TruePeakMeter::measure(Channel& channel, bool final, double* peak) {
    std::vector<float>& pending = channel.pending;
    if (final) {
        // Silence after the last sample.
        pending.insert(pending.end(), kAfter, 0.0f);
    }
    const float gain = filter().gain;
    // Positions whose 12 samples are all here.
    const int end = int(pending.size()) - kAfter;
    int position = kBefore;
    for (; position + kStretch <= end || (final && position < end); position += kStretch) {
        const int stop = std::min(position + kStretch, end);
        float loudest = 0.0f;
        for (int index = position - kBefore; index < stop + kAfter; ++index) {
            loudest = std::max(loudest, std::abs(pending[size_t(index)]));
        }
        *peak = std::max(*peak, double(loudest));
        if (double(loudest * gain) <= *peak) {
            continue;
        }
        *peak = std::max(
            *peak, double(interpolatedPeak(&pending[size_t(position - kBefore)], stop - position)));
    }
    // What the next samples need before them stays.
    position = std::min(position, int(pending.size()));
    pending.erase(pending.begin(), pending.begin() + (position - kBefore));
}

double TruePeakMeter::peak() const {
    double highest = m_peak;
    for (const Channel& channel : m_channels) {
        Channel tail = channel;
        measure(tail, true, &highest);
    }
    return highest;
}
