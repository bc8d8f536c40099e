// Faults during a pass: each file they hit ends in error with a message,
// leaves no partial output, and the next file converts.
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/ProgramRun.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
QString source(const QString& relative, double seconds = 0.3, int channels = 2) {
    FlacFactory::Options options;
    options.seconds = seconds;
    options.channels = channels;
    options.tags = FlacFactory::fullTags(QFileInfo(relative).completeBaseName());
    const QString path = FlacFactory::make(TestEnvironment::home() + "/Music/" + relative, options);
    ProgramRun::shareFolder(QFileInfo(path).absolutePath());
    QFile::setPermissions(path, QFileDevice::Permissions(0x6644));
    return path;
}

QString lineFor(const ProgramRun::Result& result, const QString& path) {
    for (const QString& line : result.output.split('\n')) {
        if (line.startsWith("OK " + path + " ") || line.startsWith("ERREUR " + path + " : ")) {
            return line;
        }
    }
    return QString();
}

QProcessEnvironment user() {
    return ProgramRun::environment(TestEnvironment::home() + "/user");
}

QString toolsOnly(const QStringList& tools) {
    const QString bin = TestEnvironment::makeFolder("tools-" + tools.join('-'));
    for (const QString& tool : tools) {
        QFile::link("/usr/bin/" + tool, bin + "/" + tool);
    }
    ProgramRun::shareFolder(bin);
    return bin;
}
} // namespace

TEST(Faults, ReadOnlyDestinationFolder) {
    const QString locked = source("Locked/a.flac");
    const QString open = source("Open/b.flac");
    QFile::setPermissions(QFileInfo(locked).absolutePath(), QFileDevice::Permissions(0x5555));
    const auto result = ProgramRun::run({"--convert", locked, open}, user());
    QFile::setPermissions(QFileInfo(locked).absolutePath(), QFileDevice::Permissions(0x7777));
    ASSERT_FALSE(result.crashed);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(lineFor(result, locked)
                    .startsWith("ERREUR " + locked + " : Impossible d'écrire dans " +
                                QFileInfo(locked).absolutePath()))
        << "the file fails where its output is written, before it is even decoded: "
        << result.output.toStdString();
    EXPECT_TRUE(lineFor(result, locked).contains("Permission denied"));
    EXPECT_TRUE(lineFor(result, open).startsWith("OK ")) << result.output.toStdString();
    EXPECT_TRUE(QFile::exists(TestEnvironment::home() + "/Music/Open/b.m4a"));
    EXPECT_TRUE(TestEnvironment::leftovers(TestEnvironment::home() + "/Music").isEmpty());
}

TEST(Faults, AFullDiskEndsTheFileItStopsAndTheNextConverts) {
    const QString big = source("Full/big.flac", 24.0);
    const QString mono = source("Full/mono.flac", 12.0, 1);
    const QString small = source("Full/small.flac", 0.2);
    const QString folder = TestEnvironment::home() + "/Music/Full";
    // 1.5 MB: the big file cannot even be decoded (4.2 MB); the mono one
    // decodes (1.06 MB) but its stereo output (2.1 MB) cannot be written.
    const auto result =
        ProgramRun::run({"--convert", "--codec", "wav", "--channels", "2", big, mono, small},
                        user(), 600000, 1536 * 1024);
    ASSERT_FALSE(result.crashed) << result.errors.toStdString();
    EXPECT_EQ(result.exitCode, 1) << result.errors.toStdString();
    EXPECT_TRUE(lineFor(result, big).startsWith("ERREUR " + big + " : Erreur Decodage"))
        << result.output.toStdString();
    EXPECT_TRUE(
        lineFor(result, mono).startsWith("ERREUR " + mono + " : Encodage de mono.wav impossible"))
        << result.output.toStdString();
    EXPECT_TRUE(lineFor(result, small).startsWith("OK ")) << result.output.toStdString();
    EXPECT_FALSE(QFile::exists(folder + "/big.wav"));
    EXPECT_FALSE(QFile::exists(folder + "/mono.wav"));
    EXPECT_EQ(OutputReader::read(folder + "/small.wav").value("pcm_sha1").toString(),
              OutputReader::flacPcmSha1(small));
    EXPECT_TRUE(TestEnvironment::leftovers(folder).isEmpty())
        << TestEnvironment::leftovers(folder).join('\n').toStdString();
}

TEST(Faults, MissingProgramsAreSaidAndThePassGoesOn) {
    const QString first = source("Tools/first.flac");
    const QString second = source("Tools/second.flac");
    QProcessEnvironment withoutFlac = user();
    withoutFlac.insert("PATH", toolsOnly({"metaflac"}));
    auto result = ProgramRun::run({"--convert", first, second}, withoutFlac);
    ASSERT_FALSE(result.crashed);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(lineFor(result, first), "ERREUR " + first + " : Programme flac introuvable");
    EXPECT_EQ(lineFor(result, second), "ERREUR " + second + " : Programme flac introuvable");

    QProcessEnvironment withoutMetaflac = user();
    withoutMetaflac.insert("PATH", toolsOnly({"flac"}));
    result = ProgramRun::run({"--convert", "--codec", "mp3", first, second}, withoutMetaflac);
    ASSERT_FALSE(result.crashed);
    EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();
    EXPECT_TRUE(result.output.contains("Programme metaflac introuvable"));
    EXPECT_EQ(OutputReader::read(TestEnvironment::home() + "/Music/Tools/first.mp3")
                  .value("tags")
                  .toObject()
                  .value("title")
                  .toString(),
              "first")
        << "queued without tags, the output still has the source's, read when its pass began";
    EXPECT_TRUE(TestEnvironment::leftovers(TestEnvironment::home() + "/Music").isEmpty());
}

TEST(Faults, AFlacKilledMidDecodeEndsItsFile) {
    TestDatabase context;
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    FlacFactory::Options options;
    options.seconds = 40.0;
    options.sampleRate = 96000;
    options.bitsPerSample = 24;
    const QString victim =
        FlacFactory::make(TestEnvironment::home() + "/Music/Victim.flac", options);
    const QString next = source("Next.flac");
    context.queue().ajouterUnFichier(victim);
    context.queue().ajouterUnFichier(next);
    PassRunner pass(context.controleur());
    pass.start();
    ASSERT_EQ(context.queue().fichiersAudio().first()->statusConversion(),
              kStatusConvEncoursDecodage);
    // flac starts once the destination is ready.
    ASSERT_TRUE(PassRunner::waitFor(
        [&] {
            return QProcess::execute("pgrep", {"-f", "flac -d " + victim}) == 0;
        },
        20000));
    QProcess::execute("pkill", {"-KILL", "-f", "flac -d " + victim});
    ASSERT_TRUE(pass.waitUntilIdle());
    const auto files = context.queue().fichiersAudio();
    EXPECT_EQ(files.at(0)->statusConversion(), kStatusConvFiniErreur);
    EXPECT_TRUE(files.at(0)->failureReason().contains("flac interrompu"))
        << files.at(0)->failureReason().toStdString();
    EXPECT_EQ(files.at(1)->statusConversion(), kStatusConvFiniOk);
    EXPECT_FALSE(QFile::exists(TestEnvironment::home() + "/Music/Victim.m4a"));
    EXPECT_TRUE(TestEnvironment::leftovers(TestEnvironment::home() + "/Music").isEmpty());
}
