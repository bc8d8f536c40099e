#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace {
struct Tone {
    double frequency;
    double amplitude;
};

// A FLAC source of these tones, faded in and out, at that rate and depth.
QString tones(const QString& name, int rate, int bits, double seconds,
              const std::vector<Tone>& parts) {
    FlacFactory::Options options;
    options.sampleRate = rate;
    options.bitsPerSample = bits;
    options.channels = 1;
    options.seconds = seconds;
    const auto frames = qint64(seconds * rate);
    const double top = std::ldexp(1.0, bits - 1) - 1;
    for (qint64 index = 0; index < frames; ++index) {
        const double fade =
            std::min({1.0, index / (0.05 * rate), (frames - 1 - index) / (0.05 * rate)});
        double value = 0.0;
        for (const Tone& tone : parts) {
            value += tone.amplitude * std::sin(2 * M_PI * tone.frequency * index / rate);
        }
        const auto sample = qint32(std::lround(fade * value * top));
        for (int byte = 0; byte < bits / 8; ++byte) {
            options.pcm.append(char((sample >> (8 * byte)) & 0xff));
        }
    }
    return FlacFactory::make(TestEnvironment::home() + "/Music/" + name + ".flac", options);
}

QString convertToWav(const QString& source, const QString& folder) {
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setString("wav", "ConversionCodec");
    defaults.setInteger(3, "DestinationType");
    defaults.setFolder(TestEnvironment::home() + "/" + folder, "DestinationDossier");
    TestDatabase context(folder + QFileInfo(source).completeBaseName() + ".db");
    context.fileAdder()->add({source});
    context.fileAdder()->waitUntilDone();
    PassRunner pass(context.controleur());
    EXPECT_TRUE(pass.runPass());
    EXPECT_EQ(context.controleur()->passFailed(), 0) << context.messages.join("\n").toStdString();
    return TestEnvironment::home() + "/" + folder + "/" + QFileInfo(source).completeBaseName() +
           ".wav";
}

// A file's first channel as floats, decoded by the FFmpeg command line.
std::vector<float> samples(const QString& path) {
    QByteArray raw;
    EXPECT_EQ(FlacFactory::run(
                  "ffmpeg",
                  {"-v", "error", "-i", path, "-map_channel", "0.0.0", "-f", "f32le", "-"}, &raw),
              0);
    std::vector<float> values(size_t(raw.size()) / sizeof(float));
    std::memcpy(values.data(), raw.constData(), values.size() * sizeof(float));
    return values;
}

// The level of one frequency in dBFS, through a Hann window over the
// middle of the signal.
double level(const std::vector<float>& signal, int rate, double frequency) {
    const size_t length = std::min<size_t>(size_t(rate / 2), signal.size() / 2);
    const size_t start = (signal.size() - length) / 2;
    std::complex<double> sum;
    double weights = 0.0;
    for (size_t index = 0; index < length; ++index) {
        const double window = 0.5 - 0.5 * std::cos(2 * M_PI * index / double(length));
        const double phase = -2 * M_PI * frequency * double(index) / rate;
        sum += window * double(signal[start + index]) * std::polar(1.0, phase);
        weights += window;
    }
    return 20 * std::log10(2 * std::abs(sum) / weights);
}
} // namespace

TEST(Resampling, OnlyLowerKeepsEachRatesFamily) {
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setInteger(48000, "FrequenceMaximale");
    const std::pair<int, int> cases[] = {
        {44100, 44100}, {48000, 48000}, {88200, 44100}, {96000, 48000}, {192000, 48000}};
    for (const auto& [from, to] : cases) {
        const QString source =
            tones(QStringLiteral("Rate %1").arg(from), from, 16, 0.3, {{1000, 0.5}});
        const QJsonObject read = OutputReader::read(convertToWav(source, "Max48"));
        EXPECT_EQ(read.value("sample_rate").toInt(), to) << from;
        EXPECT_EQ(read.value("bits").toInt(), 16) << "the depth untouched";
    }
    defaults.setInteger(44100, "FrequenceMaximale");
    const QString other = tones("Rate 48k", 48000, 16, 0.3, {{1000, 0.5}});
    EXPECT_EQ(OutputReader::read(convertToWav(other, "Max44")).value("sample_rate").toInt(), 44100)
        << "no rate of its family fits: the maximum itself";
    defaults.setInteger(0, "FrequenceMaximale");
}

TEST(Resampling, ADepthLoweredIsDitheredAndAKeptOneIsLeftAsItIs) {
    UserDefaults& defaults = TestEnvironment::defaults();
    // 100 dB down: 84 steps of 24 bits, a third of a step of 16.
    const QString quiet = tones("Quiet", 44100, 24, 2.0, {{1000, 1e-5}});
    defaults.setInteger(16, "ResolutionMaximale");
    const QString lowered = convertToWav(quiet, "Sixteen");
    const QJsonObject read = OutputReader::read(lowered);
    EXPECT_EQ(read.value("bits").toInt(), 16);
    const std::vector<float> signal = samples(lowered);
    EXPECT_NEAR(level(signal, 44100, 1000), -100.0, 2.0)
        << "the tone lives on in the dither's noise instead of rounding to silence";

    // At or below the maximum: the very samples flac decodes, no dither.
    const QString plain = tones("Plain", 44100, 16, 0.5, {{440, 0.3}});
    EXPECT_EQ(OutputReader::read(convertToWav(plain, "Kept16")).value("pcm_sha1").toString(),
              OutputReader::flacPcmSha1(plain));
    defaults.setInteger(24, "ResolutionMaximale");
    EXPECT_EQ(OutputReader::read(convertToWav(quiet, "Kept24")).value("pcm_sha1").toString(),
              OutputReader::flacPcmSha1(quiet));
    defaults.setInteger(0, "ResolutionMaximale");
}

TEST(Resampling, NinetySixToFortyEightMatchesSoxAtItsVeryHighQuality) {
    const std::vector<Tone> passband = {{1000, 0.1}, {10000, 0.1}, {19500, 0.1}};
    std::vector<Tone> parts = passband;
    // Above the new Nyquist: it must not fold back to 18 kHz.
    parts.push_back({30000, 0.3});
    const QString source = tones("Sweep", 96000, 24, 1.0, parts);
    TestEnvironment::defaults().setInteger(48000, "FrequenceMaximale");
    const QString ours = convertToWav(source, "Resampled");
    TestEnvironment::defaults().setInteger(0, "FrequenceMaximale");
    const QString decoded = TestEnvironment::home() + "/sweep-96k.wav";
    const QString sox = TestEnvironment::home() + "/sweep-sox.wav";
    ASSERT_EQ(FlacFactory::run("flac", {"-s", "-f", "-d", source, "-o", decoded}), 0);
    ASSERT_EQ(FlacFactory::run("sox", {decoded, "-b", "24", sox, "rate", "-v", "48000"}), 0);

    const std::vector<float> ourSignal = samples(ours);
    const std::vector<float> soxSignal = samples(sox);
    EXPECT_EQ(OutputReader::read(ours).value("sample_rate").toInt(), 48000);
    for (const Tone& tone : passband) {
        const double expected = 20 * std::log10(tone.amplitude);
        EXPECT_NEAR(level(ourSignal, 48000, tone.frequency), expected, 0.1) << tone.frequency;
        EXPECT_NEAR(level(soxSignal, 48000, tone.frequency), expected, 0.1) << tone.frequency;
    }
    EXPECT_LT(level(ourSignal, 48000, 18000), -100.0) << "no aliasing";
    EXPECT_LT(level(soxSignal, 48000, 18000), -100.0);
}
