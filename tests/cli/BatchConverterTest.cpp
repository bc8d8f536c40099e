#include "app/AppDelegate.h"
#include "model/OutputCodec.h"
#include "storage/CocoLite.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <csignal>

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
    {
        CocoLite user(AppDelegate::databasePath());
        EXPECT_EQ(user.outputDBrequest("SELECT count(*) AS n FROM audioFile").value(0).value("n"),
                  0)
            << "the user's queue is never touched";
        EXPECT_EQ(
            user.outputDBrequest("SELECT count(*) AS n FROM outputRecord").value(0).value("n"), 3)
            << "what each output was made from is kept for the next run";
    }
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
    EXPECT_EQ(convert({"--convert", "--codec", "wma", "x.flac"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--destination", "moon", "x.flac"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--channels", "6", "x.flac"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--frobnicate", "x.flac"}).exitCode, 2);
    // A quality is checked against the codec it is for.
    const BatchRun vorbisRate = convert({"--convert", "--codec", "ogg", "--quality", "256k", "x"});
    EXPECT_EQ(vorbisRate.exitCode, 2);
    EXPECT_TRUE(vorbisRate.errors.contains("Vorbis : q10, q9")) << vorbisRate.errors.toStdString();
    EXPECT_EQ(convert({"--convert", "--codec", "alac", "--quality", "V2", "x"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--codec", "ogg", "--bitrate", "128000", "x"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--codec", "m4a", "--quality", "V2", "x"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--max-rate", "50000", "x"}).exitCode, 2);
    EXPECT_EQ(convert({"--convert", "--max-bits", "20", "x"}).exitCode, 2);
    const BatchRun help = convert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--codec", "--destination", "--subfolder", "--folder", "--sample-rate", "--bitrate",
          "--quality", "--max-rate", "--max-bits", "--channels", "--overwrite", "--delete-source",
          "--preserve-date"}) {
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

TEST(BatchConverter, TwoSourcesWithOneOutputNameLoseNothing) {
    const QString first =
        FlacFactory::make(music() + "/c/song.flac", {0.5, 44100, 2, 16, {}, {}, 0.0, {}});
    const QString second =
        FlacFactory::make(music() + "/d/song.flac", {0.9, 44100, 2, 16, {}, {}, 0.0, {}});
    const QString out = TestEnvironment::makeFolder("out");
    const BatchRun run = convert({"--convert", "--overwrite", "--delete-source", "--destination",
                                  "folder", "--folder", out, first, second});
    EXPECT_EQ(run.exitCode, 1) << run.output.toStdString();
    EXPECT_TRUE(run.output.contains(QString("OK %1 -> %2/song.m4a\n").arg(first, out)));
    EXPECT_TRUE(
        run.output.contains(QString("ERREUR %1 : Le fichier %2/song.m4a est déjà la sortie de %3\n")
                                .arg(second, out, first)))
        << run.output.toStdString();
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_TRUE(QFile::exists(second)) << "its music is kept";
    EXPECT_NEAR(OutputReader::read(out + "/song.m4a").value("length").toDouble(), 0.5, 0.1);
}

TEST(BatchConverter, SubfolderFollowsTheCodecAndReasonsStayOnOneLine) {
    const QString source = FlacFactory::make(music() + "/Sub/a.flac");
    QFile valid(source);
    valid.open(QIODevice::ReadOnly);
    const QByteArray bytes = valid.readAll();
    const QString broken =
        TestEnvironment::writeFile(music() + "/Sub/broken.flac", bytes.left(bytes.size() / 2));
    const BatchRun run =
        convert({"--convert", "--codec", "mp3", "--destination", "subfolder", source, broken});
    EXPECT_TRUE(QFile::exists(music() + "/Sub/mp3/a.mp3")) << "not into an m4a folder";
    EXPECT_EQ(run.exitCode, 1);
    QString errorLine;
    for (const QString& line : run.output.split('\n', Qt::SkipEmptyParts)) {
        EXPECT_FALSE(line.front().isSpace()) << "a continuation line: " << line.toStdString();
        if (line.startsWith("ERREUR " + broken)) {
            errorLine = line;
        }
    }
    EXPECT_TRUE(errorLine.contains("Erreur Decodage : le fichier FLAC est tronqué"))
        << "a reason a person reads, on its own line: " << run.output.toStdString();
}

namespace {
// Starts a batch run over long files, sends the signal once the second file
// is being encoded, and answers the run's exit status and output.
BatchRun interruptedRun(int signalNumber, const QStringList& sources) {
    QProcess program;
    program.start(TONEBRIDGE_BINARY, QStringList{"--convert", "--jobs", "1"} + sources);
    QByteArray output;
    while (program.waitForReadyRead(60000)) {
        output += program.readAllStandardOutput();
        if (output.contains("Encodage de 2.m4a\n")) {
            ::kill(pid_t(program.processId()), signalNumber);
            break;
        }
    }
    program.waitForFinished(60000);
    output += program.readAllStandardOutput();
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromUtf8(output), QString::fromUtf8(program.readAllStandardError())};
}

QStringList privateFolders() {
    return QDir(TestEnvironment::root())
        .entryList({"tonebridge-convert-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
}

QStringList hiddenFiles(const QString& folder) {
    return QDir(folder).entryList({".tmp_*"}, QDir::Files | QDir::Hidden);
}
} // namespace

TEST(BatchConverter, SignalsStopThePassCleanlyAndKilledRunsAreCleanedUpLater) {
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer delivers a signal only when the program next calls into
    // code built with it: the run waits in Qt's event loop, which is not, and
    // may end its pass before it hears the signal.
    GTEST_SKIP() << "signals are held back by ThreadSanitizer";
#endif
    FlacFactory::Options options;
    options.seconds = 20.0;
    options.noise = 0.05;
    options.picturePath = FlacFactory::makePicture(music() + "/art.jpg", "jpg");
    QStringList sources;
    for (int index = 1; index <= 3; ++index) {
        sources << FlacFactory::make(QString("%1/Long/%2.flac").arg(music()).arg(index), options);
    }
    const QString folder = music() + "/Long";
    for (const auto& [signalNumber, status] :
         {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
        const BatchRun run = interruptedRun(signalNumber, sources);
        EXPECT_EQ(run.exitCode, status) << run.output.toStdString();
        EXPECT_TRUE(run.output.contains(QString("OK %1 -> %2/1.m4a").arg(sources[0], folder)))
            << "what was converted so far is said";
        EXPECT_FALSE(run.output.contains("ERREUR")) << run.output.toStdString();
        EXPECT_FALSE(QFile::exists(folder + "/2.m4a"));
        EXPECT_TRUE(hiddenFiles(folder).isEmpty()) << hiddenFiles(folder).join(", ").toStdString();
        EXPECT_TRUE(privateFolders().isEmpty());
        QFile::remove(folder + "/1.m4a");
    }

    // Killed outright, a run leaves its temporaries; the next run removes them.
    QProcess killed;
    killed.start(TONEBRIDGE_BINARY, QStringList{"--convert"} + sources);
    const QString work = QString("%1/.cache/Tonebridge/work-%2")
                             .arg(TestEnvironment::home())
                             .arg(killed.processId());
    PassRunner::waitFor([&] { return !hiddenFiles(folder).isEmpty(); });
    ::kill(pid_t(killed.processId()), SIGKILL);
    killed.waitForFinished();
    EXPECT_FALSE(hiddenFiles(folder).isEmpty()) << "a partial output";
    EXPECT_TRUE(QFileInfo::exists(work)) << "the decoded audio's folder";
    EXPECT_EQ(privateFolders().size(), 1);
    const BatchRun next = convert({"--convert", FlacFactory::make(music() + "/Next/n.flac")});
    EXPECT_EQ(next.exitCode, 0);
    EXPECT_TRUE(hiddenFiles(folder).isEmpty()) << hiddenFiles(folder).join(", ").toStdString();
    EXPECT_TRUE(privateFolders().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(work));
}

TEST(BatchConverter, ResultsArePrintedAsEachFileEnds) {
    FlacFactory::Options options;
    options.seconds = 3.0;
    options.noise = 0.05;
    QStringList sources;
    for (int index = 1; index <= 3; ++index) {
        sources << FlacFactory::make(QString("%1/Jobs/%2.flac").arg(music()).arg(index), options);
    }
    const BatchRun run = convert(QStringList{"--convert", "--jobs", "2"} + sources);
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
    const qsizetype firstResult = run.output.indexOf("OK ");
    const qsizetype third = run.output.indexOf("Decodage 3.flac");
    EXPECT_TRUE(firstResult >= 0 && third > firstResult)
        << "the first result comes as its file ends, before the third starts: "
        << run.output.toStdString();
    EXPECT_TRUE(run.output.endsWith("Conversion terminée : 3 convertis, 0 en erreur\n"));
    EXPECT_EQ(convert({"--convert", "--jobs", "0", sources[0]}).exitCode, 2);
}

TEST(BatchConverter, TheHelpListsEveryCodecOfTheTableAndEachConverts) {
    const BatchRun help = convert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const OutputCodec& codec : OutputCodec::all()) {
        EXPECT_TRUE(help.output.contains(
            QString("      %1 %2 (.%3)\n")
                .arg(codec.codecName().leftJustified(6), codec.popupText, codec.fileExtension())))
            << codec.name;
    }
    EXPECT_EQ(OutputCodec::all().size(), 10);
    const QString source = FlacFactory::make(music() + "/Ten/a.flac");
    for (const char* name : {"opus", "alac", "ogg"}) {
        const BatchRun run =
            convert({"--convert", "--codec", name, "--destination", "subfolder", source});
        EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();
        const QString output =
            QString("%1/Ten/%2/a.%3").arg(music(), name, OutputCodec::extensionOf(name));
        EXPECT_TRUE(QFile::exists(output)) << output.toStdString();
    }
}

TEST(BatchConverter, ALibraryConvertsIntoAMirroredTreeOrByItsTags) {
    FlacFactory::Options options;
    options.seconds = 0.2;
    const QString library = music() + "/Library";
    QStringList relative = {"Artist A/Album 1/01 - Intro.flac",
                            "Artist A/Album 2/CD1/01 - One.flac", "Artist B/Album 3/02 - Two.flac",
                            "Artist B/Album 4/03 - Three.flac"};
    for (const QString& path : relative) {
        options.tags = {{"ARTIST", path.section('/', 0, 0)},
                        {"ALBUM", path.section('/', 1, 1)},
                        {"TITLE", QFileInfo(path).completeBaseName().mid(5)},
                        {"TRACKNUMBER", path.section('/', -1).left(2)}};
        FlacFactory::make(library + "/" + path, options);
    }
    const QString phone = TestEnvironment::makeFolder("Phone");
    const BatchRun tree =
        convert({"--convert", "--destination", "tree", "--folder", phone, library});
    EXPECT_EQ(tree.exitCode, 0) << tree.output.toStdString();
    for (const QString& path : relative) {
        const QString output = phone + "/" + path.left(path.size() - 4) + "m4a";
        EXPECT_TRUE(QFile::exists(output)) << output.toStdString();
    }
    const QString named = TestEnvironment::makeFolder("Named");
    const BatchRun pattern =
        convert({"--convert", "--destination", "folder", "--folder", named, "--pattern",
                 "%artist%/%album%/%track% %title%", "--codec", "mp3", library});
    EXPECT_EQ(pattern.exitCode, 0) << pattern.output.toStdString();
    EXPECT_TRUE(QFile::exists(named + "/Artist A/Album 2/01 One.mp3"));
    EXPECT_TRUE(QFile::exists(named + "/Artist B/Album 4/03 Three.mp3"));
    EXPECT_EQ(convert({"--convert", "--pattern", "%title%", library}).exitCode, 2)
        << "a pattern goes with a chosen folder";
}

TEST(BatchConverter, EveryLineIsOneLineAndNoNameIsPassedOverSilently) {
    FlacFactory::Options options;
    options.seconds = 0.3;
    options.tags = {{"TITLE", QString("Red\x1b[31m\nline\aBell\x7f")}, {"ARTIST", "A"}};
    const QString folder = music() + "/Odd names";
    FlacFactory::make(folder + "/tab\tin name.flac", options);
    // A name in an old code page: bytes that are not UTF-8.
    const QByteArray latin1 = QFile::encodeName(folder) + "/caf\xe9.flac";
    {
        QFile odd(folder + "/tab\tin name.flac");
        ASSERT_TRUE(odd.open(QIODevice::ReadOnly));
        const QByteArray bytes = odd.readAll();
        FILE* raw = std::fopen(latin1.constData(), "wb");
        ASSERT_NE(raw, nullptr);
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), raw);
        std::fclose(raw);
    }
    const QString out = TestEnvironment::makeFolder("Odd out");
    const BatchRun run = convert(
        {"--convert", "--destination", "folder", "--folder", out, "--pattern", "%title%", folder});
    EXPECT_EQ(run.exitCode, 1) << run.output.toStdString();
    for (const QString& line : run.output.split('\n')) {
        for (const QChar character : line) {
            EXPECT_NE(character.category(), QChar::Other_Control)
                << "a control character reached the terminal: " << line.toStdString();
        }
    }
    EXPECT_TRUE(run.output.contains("OK " + folder + "/tab\\x09in name.flac -> " + out +
                                    "/Red[31mlineBell.m4a"))
        << run.output.toStdString();
    EXPECT_TRUE(QFile::exists(out + "/Red[31mlineBell.m4a")) << "names drop control characters";
    EXPECT_TRUE(run.output.contains("ERREUR " + folder +
                                    "/caf\\xE9.flac : nom de fichier illisible (pas en UTF-8)"))
        << run.output.toStdString();
    EXPECT_TRUE(run.output.contains("Conversion terminée : 1 converti, 1 en erreur"));
}

TEST(BatchConverter, EveryRefusalCountsAsAnError) {
    const QString text = TestEnvironment::writeFile(music() + "/notes.txt", "not music");
    const BatchRun run = convert({"--convert", text, music() + "/missing.flac"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.output.contains("ERREUR " + text + " : pas un fichier FLAC"));
    EXPECT_TRUE(run.output.contains("Conversion terminée : 0 convertis, 2 en erreur"))
        << run.output.toStdString();
}

TEST(BatchConverter, AFullCacheIsSaidToBeTheCacheAndWhereItIs) {
    const QString unshare = QStandardPaths::findExecutable("unshare");
    if (unshare.isEmpty()) {
        GTEST_SKIP() << "unshare makes a small cache of the test's own";
    }
    FlacFactory::Options options;
    options.seconds = 3.0;
    const QString source = FlacFactory::make(music() + "/Big.flac", options);
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir().mkpath(cache);
    // A cache of 128 kB, in a mount namespace of the run's own: the decoded
    // audio (529 kB) does not fit.
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    run.setProcessEnvironment(environment);
    run.start(unshare, {"-rm", "sh", "-c",
                        "mount -t tmpfs -o size=128k tmpfs \"$1\" || exit 99; shift; exec \"$@\"",
                        "sh", cache, TONEBRIDGE_BINARY, "--convert", source});
    ASSERT_TRUE(run.waitForFinished(60000));
    if (run.exitCode() == 99 || run.exitStatus() != QProcess::NormalExit) {
        GTEST_SKIP() << "no mount namespace here: " << run.readAllStandardError().toStdString();
    }
    const QString output = QString::fromUtf8(run.readAllStandardOutput());
    EXPECT_EQ(run.exitCode(), 1);
    EXPECT_TRUE(output.contains("ERREUR " + source + " : Le cache " + cache +
                                "/Tonebridge est plein : le son décodé de Big.flac n'a pas pu y "
                                "être écrit"))
        << output.toStdString();
    EXPECT_TRUE(QFile::exists(source));
}

TEST(BatchConverter, FailureReasonsSayWhatWentWrongInFrench) {
    FlacFactory::Options options;
    options.seconds = 1.0;
    const QString good = FlacFactory::make(music() + "/Reasons/good.flac", options);
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    const auto write = [](const QString& name, const QByteArray& content) {
        return TestEnvironment::writeFile(music() + "/Reasons/" + name, content);
    };
    QByteArray damaged = bytes;
    damaged[damaged.size() * 2 / 3] = char(damaged.at(damaged.size() * 2 / 3) ^ 0x5a);
    const QString truncated = write("truncated.flac", bytes.left(bytes.size() * 2 / 3));
    const QString corrupted = write("damaged.flac", damaged);
    const QString wave =
        write("wave.flac", "RIFF" + QByteArray(4, '\x10') + "WAVEfmt " + QByteArray(64, '\1'));
    const QString mp3 = write("mp3.flac", "ID3" + QByteArray(7, '\4') + QByteArray(512, '\x55'));
    const QString junk = write("junk.flac", QByteArray(2048, 'j'));
    QFile::remove(good);

    const BatchRun run = convert({"--convert", music() + "/Reasons"});
    const auto reason = [&run](const QString& path) {
        for (const QString& line : run.output.split('\n')) {
            if (line.startsWith("ERREUR " + path + " : ")) {
                return line.mid(QString("ERREUR " + path + " : ").size());
            }
        }
        return QString();
    };
    EXPECT_EQ(reason(truncated),
              "Erreur Decodage : le fichier FLAC est tronqué : il s'arrête avant la fin de sa "
              "musique");
    EXPECT_EQ(reason(corrupted),
              "Erreur Decodage : le fichier FLAC est abîmé : une partie n'est pas lisible");
    EXPECT_EQ(reason(wave), "Erreur Decodage : ce n'est pas un fichier FLAC mais un fichier WAV");
    EXPECT_EQ(reason(mp3), "Erreur Decodage : ce n'est pas un fichier FLAC mais un fichier MP3");
    EXPECT_EQ(reason(junk), "Erreur Decodage : ce n'est pas un fichier FLAC");
    EXPECT_FALSE(run.output.contains("FLAC__")) << "flac's own words stay out of the results";
    EXPECT_TRUE(run.errors.contains("FLAC__STREAM_DECODER")) << "and go to the log";
}

TEST(BatchConverter, ARealFatStickGetsNamesItTakesWithoutBeingAsked) {
    const QString unshare = QStandardPaths::findExecutable("unshare");
    const QString mkfs = QStandardPaths::findExecutable("mkfs.vfat", {"/usr/sbin", "/sbin"});
    if (unshare.isEmpty() || mkfs.isEmpty()) {
        GTEST_SKIP() << "unshare and mkfs.vfat make a FAT stick of the test's own";
    }
    FlacFactory::Options options;
    options.tags = FlacFactory::fullTags(R"(Who: Are? You* "x" <y> |z|)");
    const QString source = FlacFactory::make(music() + "/Stick/Hostile.flac", options);
    const QString image = TestEnvironment::home() + "/stick.img";
    const QString stick = TestEnvironment::makeFolder("stick");
    ASSERT_EQ(FlacFactory::run(mkfs, {"-C", image, "8192"}), 0);
    // Mounted in a mount namespace of the run's own, which lists the stick
    // before it goes.
    QProcess run;
    run.start(unshare, {"-m", "sh", "-c",
                        "mount -o loop \"$1\" \"$2\" 2>/dev/null || exit 99; stick=$2; shift 2; "
                        "\"$@\"; code=$?; ls \"$stick\"; exit $code",
                        "sh", image, stick, TONEBRIDGE_BINARY, "--convert", "--destination",
                        "folder", "--folder", stick, "--pattern", "%title%", source});
    ASSERT_TRUE(run.waitForFinished(60000));
    if (run.exitCode() == 99 || run.exitStatus() != QProcess::NormalExit) {
        GTEST_SKIP() << "no loop device or mount namespace here";
    }
    const QString output = QString::fromUtf8(run.readAllStandardOutput());
    EXPECT_EQ(run.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("\nWho - Are_ You_ 'x' _y_ _z_.m4a\n")) << output.toStdString();
}
