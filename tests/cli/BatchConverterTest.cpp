#include "app/AppDelegate.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
struct BatchRun {
    int exitCode = -1;
    QString output;
    QString errors;
};

// Runs the program as a user would from a terminal without a display.
BatchRun convert(const QStringList& arguments) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    program.setProcessEnvironment(environment);
    program.start(TONEBRIDGE_BINARY, arguments);
    program.waitForFinished(120000);
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromUtf8(program.readAllStandardOutput()),
            QString::fromUtf8(program.readAllStandardError())};
}

QString music() {
    return TestEnvironment::home() + "/Music";
}
} // namespace

TEST(BatchConverter, ConvertsFilesAndFoldersAndSaysHowEachEnded) {
    FlacFactory::Options options;
    options.seconds = 0.3;
    options.tags = FlacFactory::fullTags("Batch");
    const QString single = FlacFactory::make(music() + "/Single.flac", options);
    FlacFactory::make(music() + "/Album/One.flac", options);
    FlacFactory::make(music() + "/Album/CD 2/Two.flac", options);
    const QString broken = TestEnvironment::writeFile(music() + "/Album/Broken.flac", "not audio");
    const QString out = TestEnvironment::makeFolder("Converted");

    const BatchRun run =
        convert({"--convert", "--codec", "mp3", "--destination", "folder", "--folder", out,
                 "--bitrate", "192000", single, music() + "/Album"});
    EXPECT_EQ(run.exitCode, 1) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_TRUE(run.output.contains("OK " + single + " -> " + out + "/Single.mp3"));
    EXPECT_TRUE(run.output.contains("OK " + music() + "/Album/One.flac -> " + out + "/One.mp3"));
    EXPECT_TRUE(
        run.output.contains("OK " + music() + "/Album/CD 2/Two.flac -> " + out + "/Two.mp3"));
    EXPECT_TRUE(run.output.contains("ERREUR " + broken + " : Erreur Decodage"))
        << run.output.toStdString();
    EXPECT_TRUE(run.output.contains("Decodage Single.flac")) << "the system's messages";
    const QJsonObject read = OutputReader::read(out + "/One.mp3");
    EXPECT_NEAR(read.value("bitrate").toInt(), 192000, 1000);
    EXPECT_EQ(read.value("tags").toObject().value("title").toString(), "Batch");
    EXPECT_FALSE(QFile::exists(AppDelegate::databasePath())) << "the user's queue is never touched";
    EXPECT_FALSE(QFile::exists(TestEnvironment::home() + "/.config/Tonebridge/Tonebridge.conf"))
        << "options are never written to the settings";

    const BatchRun again = convert(
        {"--convert", "--codec", "mp3", "--destination", "folder", "--folder", out, single});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.output.contains("ERREUR " + single + " : Le fichier Single.mp3 existe déjà"));
    const BatchRun overwrite = convert({"--convert", "--codec", "mp3", "--destination", "folder",
                                        "--folder", out, "--overwrite", "--channels", "1", single});
    EXPECT_EQ(overwrite.exitCode, 0) << overwrite.output.toStdString();
    EXPECT_EQ(OutputReader::read(out + "/Single.mp3").value("channels").toInt(), 1);
}

TEST(BatchConverter, UsageErrorsAndHelp) {
    EXPECT_EQ(convert({"--convert"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--codec", "ogg", "x.flac"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--destination", "moon", "x.flac"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--channels", "6", "x.flac"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--frobnicate", "x.flac"}).exitCode, 2);
    const BatchRun help = convert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--codec", "--destination", "--subfolder", "--folder", "--sample-rate", "--bitrate",
          "--channels", "--overwrite", "--delete-source", "--preserve-date"}) {
        EXPECT_TRUE(help.output.contains(option)) << option;
    }
    const BatchRun missing = convert({"--convert", music() + "/none.flac"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.output.contains("ERREUR " + music() + "/none.flac : introuvable"));
}

TEST(BatchConverter, SubfolderDestinationAndDeletedSource) {
    const QString source = FlacFactory::make(music() + "/Deleted.flac");
    const BatchRun run = convert({"--convert", "--codec", "wav", "--destination", "subfolder",
                                  "--subfolder", "WAV files", "--delete-source", source});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(QFile::exists(music() + "/WAV files/Deleted.wav"));
    EXPECT_FALSE(QFile::exists(source));
}
