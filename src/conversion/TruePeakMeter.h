#pragma once

#include <vector>

// The true peak of a signal: its highest level between the samples too,
// found by interpolating each channel four times over (ITU BS.1770's
// method) with a windowed-sinc filter. A stretch whose samples cannot reach
// the highest level found so far, whatever the filter makes of them, is
// passed over without being interpolated: on music almost every stretch is.
// Fed on one thread; read once fed.
class TruePeakMeter {
public:
    explicit TruePeakMeter(int channels);

    // Interleaved samples, as floats (1.0 full scale).
    void add(const float* interleaved, int frames);
    // Linear, 1.0 being full scale.
    double peak() const;

private:
    struct Channel {
        // The samples not yet looked at, after those they need before them.
        std::vector<float> pending;
    };
    // Raises the peak by the samples of the channel that can be looked at,
    // and lets go of those no longer needed; the final call pads with silence.
    static void measure(Channel& channel, bool final, double* peak);
    // The highest of the values between the samples of a stretch of at most
    // 64 positions, from the first of the samples it needs.
    static float interpolatedPeak(const float* first, int count);

    std::vector<Channel> m_channels;
    double m_peak = 0.0;
};
