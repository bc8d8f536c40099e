#include "conversion/AlbumLoudness.h"
#include "conversion/LoudnessScan.h"
#include "conversion/ReplayGainValues.h"

#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>

namespace {
// A FLAC file of an FFmpeg test signal, encoded by the flac program.
QString signalFile(const QString& name, const QString& source, int rate, int channels,
                   const char* pcmCodec) {
    const QString wav = TestEnvironment::home() + "/signals/" + name + ".wav";
    const QString flac = TestEnvironment::home() + "/signals/" + name + ".flac";
    TestEnvironment::makeFolder("signals");
    EXPECT_EQ(FlacFactory::run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", source, "-ar",
                                          QString::number(rate), "-ac", QString::number(channels),
                                          "-c:a", pcmCodec, "-y", wav}),
              0)
        << source.toStdString();
    EXPECT_EQ(FlacFactory::run("flac", {"-s", "-f", "-o", flac, wav}), 0);
    return flac;
}

// The integrated loudness the FFmpeg command line's ebur128 filter finds.
double ffmpegLoudness(const QStringList& inputs, bool dualMono = false) {
    QStringList arguments = {"-nostats", "-hide_banner"};
    for (const QString& input : inputs) {
        arguments << "-i" << input;
    }
    const QString measure = QStringLiteral("ebur128=metadata=1:dualmono=%1,ametadata=mode=print:"
                                           "file=-")
                                .arg(dualMono ? "true" : "false");
    const QString concat = QStringLiteral("concat=n=%1:v=0:a=1,").arg(inputs.size());
    arguments << "-filter_complex" << (inputs.size() > 1 ? concat : QString()) + measure << "-f"
              << "null"
              << "-";
    QByteArray output;
    EXPECT_EQ(FlacFactory::run("ffmpeg", arguments, &output), 0);
    const QRegularExpression integrated(QStringLiteral("lavfi\\.r128\\.I=(-?[0-9.]+)"));
    double last = NAN;
    for (auto match = integrated.globalMatch(QString::fromUtf8(output)); match.hasNext();) {
        last = match.next().captured(1).toDouble();
    }
    return last;
}

// The highest true peak of any channel the ebur128 filter finds.
double ffmpegTruePeak(const QString& input) {
    QByteArray output;
    EXPECT_EQ(FlacFactory::run("ffmpeg",
                               {"-nostats", "-hide_banner", "-i", input, "-af",
                                "ebur128=peak=true:metadata=1,ametadata=mode=print:"
                                "file=-",
                                "-f", "null", "-"},
                               &output),
              0);
    const QRegularExpression peaks(QStringLiteral("true_peaks_ch[0-9]+=([0-9.]+)"));
    double highest = 0.0;
    for (auto match = peaks.globalMatch(QString::fromUtf8(output)); match.hasNext();) {
        highest = std::max(highest, match.next().captured(1).toDouble());
    }
    return highest;
}

std::shared_ptr<LoudnessScan> scan(const QString& path) {
    const std::atomic<bool> cancelled{false};
    QString error;
    auto measured = LoudnessScan::scanFile(path, 0, 0, cancelled, &error);
    EXPECT_TRUE(measured) << error.toStdString();
    return measured;
}

double scanned(const QString& path, qint64 first = 0, qint64 end = 0) {
    const std::atomic<bool> cancelled{false};
    QString error;
    const auto scan = LoudnessScan::scanFile(path, first, end, cancelled, &error);
    EXPECT_TRUE(scan) << error.toStdString();
    return scan && scan->integratedLufs() ? *scan->integratedLufs() : NAN;
}

double gainOf(const QJsonObject& raw, const QString& key) {
    return raw.value(key).toArray().at(0).toString().section(' ', 0, 0).toDouble();
}
} // namespace

TEST(Loudness, ScansAgreeWithFfmpegOnTonesNoiseMonoSurroundAndRanges) {
    const struct {
        const char* name;
        const char* source;
        int rate;
        int channels;
        const char* format;
    } cases[] = {
        {"tone", "sine=frequency=1000:duration=6,volume=-3dB", 44100, 2, "pcm_s16le"},
        {"noise", "anoisesrc=color=pink:amplitude=0.3:duration=6", 48000, 2, "pcm_s24le"},
        {"quiet", "anoisesrc=color=white:amplitude=0.02:duration=6", 96000, 2, "pcm_s24le"},
        {"mono", "sine=frequency=440:duration=6", 44100, 1, "pcm_s16le"},
        {"surround", "anoisesrc=color=brown:amplitude=0.4:duration=6", 48000, 6, "pcm_s16le"},
    };
    for (const auto& signal : cases) {
        const QString flac =
            signalFile(signal.name, signal.source, signal.rate, signal.channels, signal.format);
        // A mono recording is heard on two speakers: measured as both.
        const double expected = ffmpegLoudness({flac}, signal.channels == 1);
        ASSERT_FALSE(std::isnan(expected)) << signal.name;
        EXPECT_NEAR(scanned(flac), expected, 0.1) << signal.name;
        const auto measured = scan(flac);
        ASSERT_TRUE(measured);
        EXPECT_NEAR(20 * std::log10(measured->truePeak()), 20 * std::log10(ffmpegTruePeak(flac)),
                    0.2)
            << signal.name;
    }

    // A quarter of the sample rate a quarter turn off the samples: they all
    // sit at 0.707 of the wave's top, which lies between them.
    FlacFactory::Options between;
    between.seconds = 1.0;
    for (int index = 0; index < 44100; ++index) {
        // Faded in and out: an abrupt start would overshoot by itself.
        const double fade = std::min({1.0, index / 2000.0, (44099 - index) / 2000.0});
        const auto value =
            qint16(std::lround(fade * 0.5 * 32767 * std::sin(M_PI * index / 2 + M_PI / 4)));
        for (int channel = 0; channel < 2; ++channel) {
            between.pcm.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
        }
    }
    const auto overshoot =
        scan(FlacFactory::make(TestEnvironment::home() + "/signals/between.flac", between));
    ASSERT_TRUE(overshoot);
    EXPECT_NEAR(20 * std::log10(overshoot->truePeak()), 20 * std::log10(0.5), 0.1)
        << "the peak between the samples, 3 dB above them";

    // A range of a file (a disc image's track) is measured alone.
    const QString quiet =
        signalFile("part1", "sine=frequency=300:duration=5,volume=-30dB", 44100, 2, "pcm_s16le");
    const QString loud =
        signalFile("part2", "anoisesrc=color=pink:amplitude=0.5:duration=5", 44100, 2, "pcm_s16le");
    const QString image = TestEnvironment::home() + "/signals/image.flac";
    ASSERT_EQ(FlacFactory::run("ffmpeg", {"-v", "error", "-i", quiet, "-i", loud, "-filter_complex",
                                          "concat=n=2:v=0:a=1", "-c:a", "pcm_s16le", "-y",
                                          TestEnvironment::home() + "/signals/image.wav"}),
              0);
    ASSERT_EQ(FlacFactory::run("flac", {"-s", "-f", "-o", image,
                                        TestEnvironment::home() + "/signals/image.wav"}),
              0);
    EXPECT_NEAR(scanned(image, 5 * 44100, 10 * 44100), ffmpegLoudness({loud}), 0.1);
    EXPECT_NEAR(scanned(image, 0, 5 * 44100), ffmpegLoudness({quiet}), 0.1);

    // Silence has no loudness: no gain is made up for it.
    const QString silence =
        signalFile("silence", "anullsrc=channel_layout=stereo:duration=3", 44100, 2, "pcm_s16le");
    const std::atomic<bool> cancelled{false};
    QString error;
    const auto silent = LoudnessScan::scanFile(silence, 0, 0, cancelled, &error);
    ASSERT_TRUE(silent);
    EXPECT_FALSE(silent->integratedLufs());
    EXPECT_TRUE(ReplayGainValues::measured(*silent).isEmpty());
}

TEST(Loudness, TagsForEachContainerAndTheGainThatNeverClips) {
    const TagList source = {{"TITLE", "T"},
                            {"replaygain_track_gain", "-7,5 dB"},
                            {"REPLAYGAIN_TRACK_PEAK", "0.9"},
                            {"REPLAYGAIN_ALBUM_GAIN", "+3.0 dB"},
                            {"REPLAYGAIN_ALBUM_PEAK", "0.5"},
                            {"R128_TRACK_GAIN", "12"}};
    const ReplayGainValues values = ReplayGainValues::fromTags(source);
    ASSERT_TRUE(values.trackGain && values.albumGain);
    EXPECT_DOUBLE_EQ(*values.trackGain, -7.5) << "a comma read as a decimal point";

    const TagList plain = values.appliedTo(source, false);
    EXPECT_EQ(plain.first("TITLE"), "T");
    EXPECT_EQ(plain.values("REPLAYGAIN_TRACK_GAIN"), QStringList{"-7.50 dB"});
    EXPECT_EQ(plain.first("REPLAYGAIN_ALBUM_GAIN"), "+3.00 dB");
    EXPECT_FALSE(plain.contains("R128_TRACK_GAIN"));

    // Opus: the album's gain towards −23 LUFS in the header, the track's
    // relative to it, no REPLAYGAIN_*.
    const TagList opus = values.appliedTo(source, true);
    EXPECT_FALSE(opus.contains("REPLAYGAIN_TRACK_GAIN"));
    EXPECT_FALSE(opus.contains("REPLAYGAIN_ALBUM_PEAK"));
    EXPECT_EQ(values.opusOutputGain(), std::lround((3.0 - 5.0) * 256));
    EXPECT_EQ(opus.first("R128_TRACK_GAIN").toInt(),
              std::lround((-7.5 - 5.0) * 256) - values.opusOutputGain());
    EXPECT_EQ(opus.first("R128_ALBUM_GAIN"), "0");

    // The album's +3 dB would push its 0.5 peak only to 0.71: applied whole.
    EXPECT_DOUBLE_EQ(values.gainToApply(ApplyGain::Album), 3.0);
    ReplayGainValues loud;
    loud.trackGain = 6.0;
    loud.trackPeak = 0.8;
    const double applied = loud.gainToApply(ApplyGain::Track);
    EXPECT_NEAR(applied, -20 * std::log10(0.8), 1e-9) << "limited so the peak reaches 1.0";
    const ReplayGainValues after = loud.scaledBy(applied);
    EXPECT_NEAR(*after.trackPeak, 1.0, 1e-9);
    EXPECT_NEAR(*after.trackGain, 6.0 - applied, 1e-9) << "what is left for players";
    EXPECT_DOUBLE_EQ(loud.gainToApply(ApplyGain::Album), applied) << "the track's without album";
    EXPECT_EQ(loud.gainToApply(ApplyGain::None), 0.0);
}

namespace {
struct Library {
    QStringList album;
    QString single;
};

// Three tracks of one album at different levels in one folder, and a file
// of another album in a folder of its own.
Library makeLibrary() {
    Library library;
    const char* sources[] = {"sine=frequency=300:duration=5,volume=-4dB",
                             "anoisesrc=color=pink:amplitude=0.1:duration=5",
                             "sine=frequency=2000:duration=5,volume=-20dB"};
    for (int index = 0; index < 3; ++index) {
        const QString name = QStringLiteral("track%1").arg(index + 1);
        const QString made = signalFile(name, sources[index], 44100, 2, "pcm_s16le");
        const QString path = TestEnvironment::makeFolder("Music/Album") + "/" + name + ".flac";
        QFile::remove(path);
        QFile::copy(made, path);
        FlacFactory::run("metaflac",
                         {"--set-tag=ALBUM=Levels", "--set-tag=ARTIST=Band",
                          QStringLiteral("--set-tag=TITLE=%1").arg(name),
                          QStringLiteral("--set-tag=TRACKNUMBER=%1").arg(index + 1), path});
        library.album << path;
    }
    const QString made =
        signalFile("single", "sine=frequency=700:duration=5,volume=-12dB", 44100, 2, "pcm_s16le");
    library.single = TestEnvironment::makeFolder("Music/Single") + "/single.flac";
    QFile::remove(library.single);
    QFile::copy(made, library.single);
    FlacFactory::run("metaflac",
                     {"--set-tag=ALBUM=Alone", "--set-tag=ARTIST=Other", library.single});
    return library;
}

QStringList convert(const QStringList& sources, const QString& codec, const QString& folder) {
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setString(codec, "ConversionCodec");
    defaults.setInteger(3, "DestinationType");
    defaults.setFolder(folder, "DestinationDossier");
    TestDatabase context(codec + QStringLiteral(".db"));
    context.fileAdder()->add(sources);
    context.fileAdder()->waitUntilDone();
    PassRunner pass(context.controleur());
    EXPECT_TRUE(pass.runPass());
    EXPECT_EQ(context.controleur()->passFailed(), 0) << context.messages.join("\n").toStdString();
    QStringList outputs;
    for (const QString& source : sources) {
        outputs << folder + "/" + QFileInfo(source).completeBaseName() + "." + codec;
    }
    return outputs;
}
} // namespace

TEST(Loudness, MeasuredTrackAndAlbumValuesReachEveryContainerAndOpusHeader) {
    const Library library = makeLibrary();
    const QStringList sources = library.album + QStringList{library.single};
    QList<double> expectedTrack;
    for (const QString& source : sources) {
        expectedTrack << -18.0 - ffmpegLoudness({source});
    }
    const double expectedAlbum = -18.0 - ffmpegLoudness(library.album);
    TestEnvironment::defaults().setInteger(1, "VolumeReplayGain");

    const struct {
        const char* codec;
        const char* trackKey;
        const char* albumKey;
    } containers[] = {
        {"m4a", "----:com.apple.iTunes:REPLAYGAIN_TRACK_GAIN",
         "----:com.apple.iTunes:REPLAYGAIN_ALBUM_GAIN"},
        {"mp3", "TXXX:REPLAYGAIN_TRACK_GAIN", "TXXX:REPLAYGAIN_ALBUM_GAIN"},
        {"ogg", "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_ALBUM_GAIN"},
    };
    for (const auto& container : containers) {
        const QStringList outputs =
            convert(sources, container.codec, TestEnvironment::home() + "/Out/" + container.codec);
        for (int index = 0; index < outputs.size(); ++index) {
            const QJsonObject raw = OutputReader::read(outputs[index]).value("raw").toObject();
            const std::string what = outputs[index].toStdString();
            EXPECT_NEAR(gainOf(raw, container.trackKey), expectedTrack[index], 0.1) << what;
            // The single file is an album of its own.
            const double album = index < 3 ? expectedAlbum : expectedTrack[index];
            EXPECT_NEAR(gainOf(raw, container.albumKey), album, 0.1) << what;
        }
    }

    const QStringList opus =
        convert(sources, QStringLiteral("opus"), TestEnvironment::home() + "/Out/opus");
    for (int index = 0; index < opus.size(); ++index) {
        const QJsonObject read = OutputReader::read(opus[index]);
        const QJsonObject raw = read.value("raw").toObject();
        const std::string what = opus[index].toStdString();
        for (auto key = raw.begin(); key != raw.end(); ++key) {
            EXPECT_FALSE(key.key().startsWith("REPLAYGAIN_")) << what << key.key().toStdString();
        }
        const double album = index < 3 ? expectedAlbum : expectedTrack[index];
        const int header = read.value("output_gain").toInt();
        EXPECT_NEAR(header / 256.0, album - 5.0, 0.1) << what << ": towards -23 LUFS";
        const int track = raw.value("R128_TRACK_GAIN").toArray().at(0).toString().toInt();
        EXPECT_NEAR((header + track) / 256.0, expectedTrack[index] - 5.0, 0.1) << what;
    }
}

TEST(Loudness, CopiedValuesBecomeOpusGainsNoneAreWrittenOnRequestAndAppliedGainLevelsTheAudio) {
    const Library library = makeLibrary();
    const QString tagged = library.album[2];
    FlacFactory::run("metaflac", {"--set-tag=REPLAYGAIN_TRACK_GAIN=+6.00 dB",
                                  "--set-tag=REPLAYGAIN_TRACK_PEAK=0.100000",
                                  "--set-tag=REPLAYGAIN_ALBUM_GAIN=-2.00 dB",
                                  "--set-tag=REPLAYGAIN_ALBUM_PEAK=0.900000", tagged});
    UserDefaults& defaults = TestEnvironment::defaults();

    // Copied into Opus: the album's gain in the header, the track's relative.
    defaults.setInteger(0, "VolumeReplayGain");
    const QString opus =
        convert({tagged}, QStringLiteral("opus"), TestEnvironment::home() + "/Copy").first();
    const QJsonObject read = OutputReader::read(opus);
    EXPECT_EQ(read.value("output_gain").toInt(), std::lround(-7.0 * 256));
    EXPECT_EQ(read.value("raw").toObject().value("R128_TRACK_GAIN").toArray().at(0).toString(),
              QString::number(std::lround(1.0 * 256) - std::lround(-7.0 * 256)));
    EXPECT_FALSE(read.value("raw").toObject().contains("REPLAYGAIN_TRACK_GAIN"));

    defaults.setInteger(2, "VolumeReplayGain");
    const QString none =
        convert({tagged}, QStringLiteral("m4a"), TestEnvironment::home() + "/None").first();
    const QJsonObject noneRaw = OutputReader::read(none).value("raw").toObject();
    EXPECT_FALSE(noneRaw.contains("----:com.apple.iTunes:REPLAYGAIN_TRACK_GAIN"));
    EXPECT_FALSE(noneRaw.contains("----:com.apple.iTunes:REPLAYGAIN_ALBUM_GAIN"));

    // Measured and applied to a quiet track: it plays near −18 LUFS, and
    // what is left for players is near nothing.
    defaults.setInteger(1, "VolumeReplayGain");
    defaults.setInteger(1, "VolumeAppliquerAuSon");
    const QString quiet = library.single;
    const QString applied =
        convert({quiet}, QStringLiteral("mp3"), TestEnvironment::home() + "/Applied").first();
    EXPECT_NEAR(ffmpegLoudness({applied}), -18.0, 0.3);
    const QJsonObject appliedRaw = OutputReader::read(applied).value("raw").toObject();
    EXPECT_NEAR(gainOf(appliedRaw, "TXXX:REPLAYGAIN_TRACK_GAIN"), 0.0, 0.3);

    // The album's gain, measured before the pass, moves every track alike:
    // their balance is kept.
    defaults.setInteger(2, "VolumeAppliquerAuSon");
    const QStringList album =
        convert(library.album, QStringLiteral("mp3"), TestEnvironment::home() + "/AlbumApplied");
    const double albumGain = -18.0 - ffmpegLoudness(library.album);
    QList<double> moved;
    for (int index = 0; index < album.size(); ++index) {
        moved << ffmpegLoudness({album[index]}) - ffmpegLoudness({library.album[index]});
        const QJsonObject raw = OutputReader::read(album[index]).value("raw").toObject();
        EXPECT_NEAR(gainOf(raw, "TXXX:REPLAYGAIN_ALBUM_GAIN") + moved[index], albumGain, 0.3)
            << "what is left for players, with what was applied, is the album's gain";
    }
    EXPECT_GT(moved[0], 3.0) << "a quiet album made louder";
    EXPECT_NEAR(moved[0], moved[1], 0.3);
    EXPECT_NEAR(moved[0], moved[2], 0.3);
    EXPECT_LE(moved[0], albumGain + 0.3) << "never more than the album's gain";
    defaults.setInteger(0, "VolumeAppliquerAuSon");
}

TEST(Loudness, AnAlbumWithOneChangedTrackGetsItsNewAlbumValuesInEveryOutput) {
    const Library library = makeLibrary();
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setInteger(1, "VolumeReplayGain");
    defaults.setInteger(2, "DestinationSortieExistante");
    const QString folder = TestEnvironment::home() + "/Weekly";
    const QStringList outputs = convert(library.album, QStringLiteral("m4a"), folder);
    const QString albumKey = "----:com.apple.iTunes:REPLAYGAIN_ALBUM_GAIN";
    const double before = gainOf(OutputReader::read(outputs[1]).value("raw").toObject(), albumKey);
    EXPECT_NEAR(before, -18.0 - ffmpegLoudness(library.album), 0.1);

    // The quiet third track is mastered again, much louder; its tags stay.
    const QString louder = signalFile("remaster", "anoisesrc=color=pink:amplitude=0.6:duration=5",
                                      44100, 2, "pcm_s16le");
    ASSERT_EQ(
        FlacFactory::run("metaflac", {"--export-tags-to=" + TestEnvironment::home() + "/tags.txt",
                                      library.album[2]}),
        0);
    ASSERT_EQ(
        FlacFactory::run("metaflac",
                         {"--import-tags-from=" + TestEnvironment::home() + "/tags.txt", louder}),
        0);
    ASSERT_TRUE(QFile::remove(library.album[2]));
    ASSERT_TRUE(QFile::copy(louder, library.album[2]));

    const QString untouched = OutputReader::fileSha1(outputs[0]);
    convert(library.album, QStringLiteral("m4a"), folder);
    const double expected = -18.0 - ffmpegLoudness(library.album);
    ASSERT_GT(std::abs(expected - before), 1.0) << "the album's loudness changed";
    // Each track is measured in blocks of its own, the joined recording in
    // blocks that straddle the joins: between a loud and a quiet track the
    // two differ a little.
    const double first = gainOf(OutputReader::read(outputs[0]).value("raw").toObject(), albumKey);
    EXPECT_NEAR(first, expected, 0.2);
    for (const QString& output : outputs) {
        const QJsonObject raw = OutputReader::read(output).value("raw").toObject();
        EXPECT_DOUBLE_EQ(gainOf(raw, albumKey), first) << output.toStdString();
    }
    EXPECT_NE(OutputReader::fileSha1(outputs[0]), untouched)
        << "the unchanged tracks' tags were rewritten";
    defaults.setInteger(-1, "DestinationSortieExistante");
}
