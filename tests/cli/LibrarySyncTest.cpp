#include "app/AppDelegate.h"
#include "storage/CocoLite.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {
struct SyncRun {
    int exitCode = -1;
    QString output;
    // How many times flac ran: each decode goes through it.
    int decodes = 0;
};

QString music() {
    return TestEnvironment::home() + "/Music";
}

QString out() {
    return TestEnvironment::home() + "/Phone";
}

// A flac in front of the real one that counts its runs.
QString countingFlacFolder() {
    const QString folder = TestEnvironment::makeFolder("counting-tools");
    const QString script = folder + "/flac";
    if (!QFile::exists(script)) {
        TestEnvironment::writeFile(
            script, QStringLiteral("#!/bin/sh\necho run >> %1/runs\nexec %2 \"$@\"\n")
                        .arg(folder, QStandardPaths::findExecutable("flac"))
                        .toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return folder;
}

SyncRun sync(QStringList options) {
    const QString tools = countingFlacFolder();
    QFile::remove(tools + "/runs");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DISPLAY");
    environment.insert("PATH", tools + ":" + environment.value("PATH"));
    program.setProcessEnvironment(environment);
    program.start(TONEBRIDGE_BINARY, QStringList{"--convert", "--destination", "tree", "--folder",
                                                 out(), "--jobs", "2"} +
                                         options + QStringList{music()});
    program.waitForFinished(120000);
    SyncRun run;
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.output = QString::fromUtf8(program.readAllStandardOutput());
    QFile runs(tools + "/runs");
    if (runs.open(QIODevice::ReadOnly)) {
        run.decodes = int(runs.readAll().count('\n'));
    }
    return run;
}

QByteArray bytes(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// The audio packets of an output as they are stored, whatever its tags.
QByteArray audioFrames(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
                 {"-v", "error", "-i", path, "-map", "0:a", "-c", "copy", "-f", "data", "-"});
    ffmpeg.waitForFinished(60000);
    return QCryptographicHash::hash(ffmpeg.readAllStandardOutput(), QCryptographicHash::Sha1);
}

QString make(const QString& path, const QString& title, double noise = 0.1) {
    FlacFactory::Options options;
    options.seconds = 1.0;
    options.noise = noise;
    options.tags = FlacFactory::fullTags(title);
    return FlacFactory::make(path, options);
}

void setModified(const QString& path, qint64 secondsSinceEpoch) {
    const struct timespec times[2] = {{secondsSinceEpoch, 0}, {secondsSinceEpoch, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

int recordCount() {
    CocoLite user(AppDelegate::databasePath());
    return user.outputDBrequest("SELECT count(*) AS n FROM outputRecord")
        .value(0)
        .value("n")
        .toInt();
}
} // namespace

TEST(LibrarySync, ARerunDoesOnlyWhatChangedAndTellsWhatItWouldDo) {
    const QString one = make(music() + "/A/One.flac", "One");
    make(music() + "/A/Two.flac", "Two");
    const QString three = make(music() + "/B/Three.flac", "Three");
    const QString outOne = out() + "/A/One.m4a";
    const QString outTwo = out() + "/A/Two.m4a";
    const QString outThree = out() + "/B/Three.m4a";

    const SyncRun first = sync({});
    ASSERT_EQ(first.exitCode, 0) << first.output.toStdString();
    EXPECT_EQ(first.decodes, 3);
    const QByteArray oneBefore = bytes(outOne);
    const QByteArray twoBefore = bytes(outTwo);
    const QByteArray oneFrames = audioFrames(outOne);
    const QByteArray twoFrames = audioFrames(outTwo);
    ASSERT_FALSE(oneFrames.isEmpty());

    const SyncRun unchanged = sync({});
    EXPECT_EQ(unchanged.exitCode, 0) << unchanged.output.toStdString();
    EXPECT_EQ(unchanged.decodes, 0) << "nothing decoded, nothing encoded";
    EXPECT_TRUE(unchanged.output.contains("À JOUR " + one + " -> " + outOne));
    EXPECT_TRUE(
        unchanged.output.contains("Conversion terminée : 0 convertis, 3 à jour, 0 en erreur"))
        << unchanged.output.toStdString();
    EXPECT_EQ(bytes(outOne), oneBefore);

    // Tags fixed in one source: that output's tags change, its audio does not.
    QProcess metaflac;
    metaflac.start("metaflac", {"--remove-tag=TITLE", "--set-tag=TITLE=One, fixed", one});
    ASSERT_TRUE(metaflac.waitForFinished());
    const SyncRun dryRun = sync({"--dry-run"});
    EXPECT_EQ(dryRun.exitCode, 0);
    EXPECT_EQ(dryRun.decodes, 0);
    EXPECT_TRUE(dryRun.output.contains("mettre à jour les tags " + one + " -> " + outOne))
        << dryRun.output.toStdString();
    EXPECT_TRUE(dryRun.output.contains("à jour " + three + " -> " + outThree));
    EXPECT_EQ(bytes(outOne), oneBefore) << "a dry run changes nothing";

    const SyncRun retagged = sync({});
    EXPECT_EQ(retagged.exitCode, 0) << retagged.output.toStdString();
    EXPECT_EQ(retagged.decodes, 0);
    EXPECT_TRUE(retagged.output.contains("TAGS " + one + " -> " + outOne));
    EXPECT_EQ(OutputReader::read(outOne).value("tags").toObject().value("title").toString(),
              "One, fixed");
    EXPECT_EQ(audioFrames(outOne), oneFrames) << "the same audio frames, byte for byte";
    EXPECT_NE(bytes(outOne), oneBefore);
    EXPECT_EQ(bytes(outTwo), twoBefore);

    // New audio under an old name: that file alone is made again.
    make(music() + "/A/Two.flac", "Two", 0.3);
    const SyncRun newAudio = sync({});
    EXPECT_EQ(newAudio.exitCode, 0);
    EXPECT_EQ(newAudio.decodes, 1) << newAudio.output.toStdString();
    EXPECT_TRUE(newAudio.output.contains("OK " + music() + "/A/Two.flac -> " + outTwo));
    EXPECT_NE(audioFrames(outTwo), twoFrames);
    EXPECT_EQ(audioFrames(outOne), oneFrames);

    // Another bit rate changes every output's audio.
    const SyncRun bitRate = sync({"--bitrate", "128000"});
    EXPECT_EQ(bitRate.exitCode, 0);
    EXPECT_EQ(bitRate.decodes, 3);
}

TEST(LibrarySync, OutputsOfGoneSourcesGoToTheTrashAndForeignFilesAreKept) {
    make(music() + "/A/One.flac", "One");
    const QString gone = make(music() + "/B/Gone.flac", "Gone");
    TestEnvironment::writeFile(music() + "/A/cover.jpg", "a picture");
    TestEnvironment::writeFile(music() + "/A/Booklet.PDF", "a booklet");
    TestEnvironment::writeFile(music() + "/A/notes.txt", "not copied");
    const SyncRun first = sync({"--copy-companions"});
    ASSERT_EQ(first.exitCode, 0) << first.output.toStdString();
    EXPECT_EQ(bytes(out() + "/A/cover.jpg"), "a picture");
    EXPECT_EQ(bytes(out() + "/A/Booklet.PDF"), "a booklet") << "patterns match whatever the case";
    EXPECT_FALSE(QFile::exists(out() + "/A/notes.txt"));
    const SyncRun again = sync({"--copy-companions"});
    EXPECT_FALSE(again.output.contains("Copié")) << "copied once";
    TestEnvironment::writeFile(music() + "/A/cover.jpg", "a better picture");
    TestEnvironment::writeFile(out() + "/A/Booklet.PDF", "the user's own booklet");
    TestEnvironment::writeFile(music() + "/A/Booklet.PDF", "a new booklet");
    EXPECT_EQ(sync({"--copy-companions"}).exitCode, 0);
    EXPECT_EQ(bytes(out() + "/A/cover.jpg"), "a better picture") << "a changed companion follows";
    EXPECT_EQ(bytes(out() + "/A/Booklet.PDF"), "the user's own booklet")
        << "never over a file Tonebridge did not write";

    // A source gone: its output goes to the trash with the folder it leaves
    // empty; a file without a record stays.
    TestEnvironment::writeFile(out() + "/B/mine.m4a", "the user's own");
    QFile::remove(gone);
    const int records = recordCount();
    const SyncRun dryRun = sync({"--prune", "--dry-run"});
    EXPECT_TRUE(dryRun.output.contains("mettre à la corbeille " + out() + "/B/Gone.m4a"))
        << dryRun.output.toStdString();
    EXPECT_TRUE(QFile::exists(out() + "/B/Gone.m4a"));
    EXPECT_EQ(recordCount(), records) << "a dry run writes no row";
    const SyncRun pruned = sync({"--prune"});
    EXPECT_EQ(pruned.exitCode, 0) << pruned.output.toStdString();
    EXPECT_FALSE(QFile::exists(out() + "/B/Gone.m4a"));
    const QString trash =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files";
    EXPECT_TRUE(QFile::exists(trash + "/Gone.m4a")) << "in the desktop's trash";
    EXPECT_TRUE(QFile::exists(out() + "/B/mine.m4a"));
    EXPECT_TRUE(QFile::exists(out() + "/A/One.m4a"));
    QFile::remove(out() + "/B/mine.m4a");
    QFile::remove(music() + "/B");
    QDir(music() + "/B").removeRecursively();

    // An output this program has no record of, older than its source: an
    // error, and the file is kept.
    const QString late = make(music() + "/C/Late.flac", "Late");
    TestEnvironment::writeFile(out() + "/C/Late.m4a", "someone else's");
    setModified(out() + "/C/Late.m4a", 946684800);
    const SyncRun foreign = sync({});
    EXPECT_EQ(foreign.exitCode, 1);
    EXPECT_TRUE(foreign.output.contains("ERREUR " + late + " : Le fichier Late.m4a existe déjà"))
        << foreign.output.toStdString();
    EXPECT_EQ(bytes(out() + "/C/Late.m4a"), "someone else's");
}

TEST(LibrarySync, AnotherId3VersionRewritesTheTagsInThatVersionWithoutEncoding) {
    const QString one = make(music() + "/A/One.flac", "One");
    const QString output = out() + "/A/One.mp3";
    ASSERT_EQ(sync({"--codec", "mp3"}).exitCode, 0);
    const SyncRun older = sync({"--codec", "mp3", "--id3", "2.3"});
    EXPECT_EQ(older.exitCode, 0) << older.output.toStdString();
    EXPECT_EQ(older.decodes, 0);
    EXPECT_TRUE(older.output.contains("TAGS " + one + " -> " + output))
        << older.output.toStdString();
    const QJsonObject raw = OutputReader::read(output).value("raw").toObject();
    EXPECT_EQ(raw.value("version").toArray().first().toString(), "2.3");
}

TEST(LibrarySync, SafeNamesFromTheTerminal) {
    make(music() + "/Why: Not?/Who*.flac", "Who");
    const SyncRun run = sync({"--safe-names", "always"});
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    EXPECT_TRUE(QFile::exists(out() + "/Why - Not_/Who_.m4a")) << run.output.toStdString();
    EXPECT_EQ(sync({"--safe-names", "sometimes"}).exitCode, 2);
}

TEST(LibrarySync, MeasuredLoudnessIsKeptByWeeklyRunsAndGoesWithNone) {
    const QString one = make(music() + "/A/One.flac", "One", 0.05);
    make(music() + "/A/Two.flac", "Two", 0.3);
    const QString key = "----:com.apple.iTunes:REPLAYGAIN_ALBUM_GAIN";
    ASSERT_EQ(sync({}).exitCode, 0);
    const SyncRun measured = sync({"--replaygain", "scan"});
    EXPECT_EQ(measured.exitCode, 0) << measured.output.toStdString();
    EXPECT_EQ(measured.decodes, 2) << "a measure comes from the audio: both converted again";
    const QString output = out() + "/A/One.m4a";
    const QJsonObject raw = OutputReader::read(output).value("raw").toObject();
    ASSERT_TRUE(raw.contains(key)) << measured.output.toStdString();
    EXPECT_EQ(raw.value(key),
              OutputReader::read(out() + "/A/Two.m4a").value("raw").toObject().value(key))
        << "one album, one album gain";

    const QByteArray before = bytes(output);
    const SyncRun again = sync({"--replaygain", "scan"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.decodes, 0);
    EXPECT_FALSE(again.output.contains("Volume")) << again.output.toStdString();
    EXPECT_EQ(bytes(output), before) << "an album none of whose files changed is left as it is";

    const QByteArray frames = audioFrames(output);
    const SyncRun none = sync({"--replaygain", "none"});
    EXPECT_EQ(none.decodes, 0) << "only the tags change";
    EXPECT_TRUE(none.output.contains("TAGS " + one + " -> " + output)) << none.output.toStdString();
    EXPECT_FALSE(OutputReader::read(output).value("raw").toObject().contains(key));
    EXPECT_EQ(audioFrames(output), frames);

    EXPECT_EQ(sync({"--replaygain", "guess"}).exitCode, 2);
    EXPECT_EQ(sync({"--apply-gain", "louder"}).exitCode, 2);
}
