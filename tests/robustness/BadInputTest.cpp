// Feeds the real program hundreds of bad inputs in one batch conversion, and
// the window's queue the same folder: whatever they hold, no source changes,
// no half-written output remains, every file that cannot be converted ends
// in error with its reason, and the queue survives a restart.
#include "model/DestinationPattern.h"
#include "storage/Log.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/ProgramRun.h"
#include "support/TestApp.h"
#include "support/TestEnvironment.h"
#include "ui/VueCtrlrFilez.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Where the audio frames start: after the last metadata block.
qsizetype audioStart(const QByteArray& flac) {
    qsizetype position = 4;
    for (;;) {
        const auto header = quint8(flac.at(position));
        const qsizetype length = (quint8(flac.at(position + 1)) << 16) |
                                 (quint8(flac.at(position + 2)) << 8) |
                                 quint8(flac.at(position + 3));
        position += 4 + length;
        if (header & 0x80) {
            return position;
        }
    }
}

class BadInputs {
public:
    explicit BadInputs(const QString& root) : m_root(root), m_random(20261208) {}

    QString root() const { return m_root; }
    QStringList hopeless;
    int count = 0;

    QString write(const QString& relative, const QByteArray& bytes) {
        ++count;
        return TestEnvironment::writeFile(m_root + "/" + relative, bytes);
    }

    QString metaflac(const QString& relative, const QByteArray& base,
                     const QStringList& arguments) {
        const QString path = write(relative, base);
        QByteArray error;
        EXPECT_EQ(FlacFactory::run("metaflac", arguments + QStringList{path}, nullptr, &error), 0)
            << error.constData();
        return path;
    }

    void build() {
        FlacFactory::Options options;
        options.seconds = 1.0;
        options.noise = 0.02;
        options.tags = FlacFactory::fullTags("Base");
        options.picturePath =
            FlacFactory::makePicture(TestEnvironment::home() + "/pictures/cover.png", "png");
        const QString basePath =
            FlacFactory::make(TestEnvironment::home() + "/pictures/base.flac", options);
        const QByteArray base = readAll(basePath);
        const qsizetype audio = audioStart(base);

        for (int index = 0; index < 70; ++index) {
            const qsizetype cut = index < 10 ? index * 5 : (base.size() * index) / 70;
            const QString path = write(QString("truncated/cut %1.flac").arg(cut), base.left(cut));
            if (cut < 42) {
                hopeless << path;
            }
        }
        for (int index = 0; index < 40; ++index) {
            QByteArray flipped = base;
            const qsizetype at = audio + m_random.bounded(base.size() - audio);
            flipped[at] = char(flipped[at] ^ (1 << m_random.bounded(8)));
            write(QString("frames/flip %1.flac").arg(index), flipped);
        }
        for (int index = 0; index < 30; ++index) {
            QByteArray flipped = base;
            const qsizetype at = 4 + m_random.bounded(audio - 4);
            flipped[at] = char(m_random.bounded(256));
            write(QString("metadata/flip %1.flac").arg(index), flipped);
        }
        for (int index = 0; index < 20; ++index) {
            QByteArray noise(m_random.bounded(1, 200000), Qt::Uninitialized);
            for (char& byte : noise) {
                byte = char(m_random.bounded(256));
            }
            hopeless << write(QString("random/noise %1.flac").arg(index), noise);
        }
        for (int index = 0; index < 5; ++index) {
            hopeless << write(QString("empty/zero %1.flac").arg(index), QByteArray());
        }
        const QString bigValue = TestEnvironment::writeFile(
            TestEnvironment::home() + "/pictures/big.txt", QByteArray(1000000, 'x'));
        for (const char* tag : {"TITLE", "ARTIST", "COMMENT"}) {
            metaflac(QString("tags/megabyte %1.flac").arg(tag), base,
                     {QString("--set-tag-from-file=%1=%2").arg(tag, bigValue)});
        }
        QByteArray many;
        for (int index = 0; index < 10000; ++index) {
            many +=
                "EXTRA" + QByteArray::number(index) + "=value " + QByteArray::number(index) + "\n";
        }
        const QString manyTags =
            TestEnvironment::writeFile(TestEnvironment::home() + "/pictures/many.txt", many);
        metaflac("tags/ten thousand.flac", base, {"--import-tags-from=" + manyTags});
        metaflac("tags/ten thousand artists.flac", base,
                 {"--remove-all-tags", "--import-tags-from=" + manyTags, "--set-tag=ARTIST=a",
                  "--set-tag=ARTIST=b"});
        for (const QByteArray& raw :
             {QByteArray("\xff\xfe\xfd"), QByteArray("caf\xe9"), QByteArray("\xc3\x28"),
              QByteArray("a\x01\x02\x1b[31mred"), QByteArray("\xed\xa0\x80")}) {
            metaflac(QString("tags/not utf8 %1.flac").arg(QString::fromLatin1(raw.toHex())), base,
                     {"--no-utf8-convert", "--set-tag=TITLE=" + QString::fromLatin1(raw)});
        }
        const QString notImage = TestEnvironment::writeFile(
            TestEnvironment::home() + "/pictures/notes.txt", "this is not a picture");
        for (const char* type : {"image/jpeg", "image/png", "text/plain", "image/gif"}) {
            metaflac(QString("pictures/%1.flac").arg(QString(type).replace('/', ' ')), base,
                     {"--remove-all-tags",
                      QString("--import-picture-from=3|%1||64x64x24|%2").arg(type, notImage)});
        }
        const QStringList names = {
            "double \"quoted\"", "it's",          "100% sure",  "under_score_",
            "-leading dash",     "--option-like", "  spaces  ", "Beyoncé – Déjà vu",
            "東京事変",          "🎵 emoji 🎶",     "semi;colon", "back\\slash",
            "dollar $HOME",      "star *",        "question ?", "brackets [1]",
            "newline\nname",     "tab\tname",     "#hash",      "a'b\"c%d_e"};
        for (const QString& name : names) {
            write("names/" + name + ".flac", base);
        }
        write("names/" + name(" sub ", 3) + "/" + name("deep", 2) + "/inside.flac", base);
        // A path close to the system's limit.
        QString longPath = "long";
        while (longPath.size() < 3600) {
            longPath += "/" + QString(200, QChar('d'));
        }
        write(longPath + "/" + QString(180, QChar('n')) + ".flac", base);
        write(longPath + "/short.flac", base);
        QDir().mkpath(m_root + "/loops/a/b");
        QFile::link(m_root + "/loops/a", m_root + "/loops/a/b/back to a");
        QFile::link(m_root + "/loops", m_root + "/loops/a/b/back to top");
        QFile::link(m_root + "/loops/missing", m_root + "/loops/dangling.flac");
        write("loops/a/b/inside loop.flac", base);
    }

    void lockSome(const QByteArray& base) {
        m_locked << write("locked/unreadable file.flac", base);
        write("locked/closed folder/hidden inside.flac", base);
        m_lockedFolders << m_root + "/locked/closed folder";
        QFile::setPermissions(m_locked.first(), QFileDevice::WriteOwner);
        QFile::setPermissions(m_lockedFolders.first(), QFileDevice::Permissions());
    }

    void unlock() {
        for (const QString& path : m_locked + m_lockedFolders) {
            QFile::setPermissions(path, QFileDevice::Permissions(0x7755));
        }
    }

    QStringList locked() const { return m_locked; }

private:
    static QString name(const QString& part, int times) {
        QString result;
        for (int index = 0; index < times; ++index) {
            result += part;
        }
        return result;
    }

    QString m_root;
    QRandomGenerator m_random;
    QStringList m_locked;
    QStringList m_lockedFolders;
};

QHash<QString, QString> sourceHashes(const QString& root) {
    QHash<QString, QString> hashes;
    QDirIterator files(root, {"*.flac", "*.FLAC"}, QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        hashes.insert(path, OutputReader::fileSha1(path));
    }
    return hashes;
}

} // namespace

TEST(Robustness, TheBatchConversionSurvivesHundredsOfBadInputs) {
    const QString root = TestEnvironment::makeFolder("bad");
    BadInputs inputs(root);
    inputs.build();
    inputs.lockSome(readAll(TestEnvironment::home() + "/pictures/base.flac"));
    ASSERT_GE(inputs.count, 200);
    QDirIterator folders(root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    ProgramRun::shareFolder(root);
    while (folders.hasNext()) {
        const QString folder = folders.next();
        if (!folder.endsWith("closed folder") && !QFileInfo(folder).isSymLink()) {
            ProgramRun::shareFolder(folder);
        }
    }
    inputs.unlock();
    const QHash<QString, QString> before = sourceHashes(root);
    QFile::setPermissions(inputs.locked().first(), QFileDevice::WriteOwner);
    QFile::setPermissions(root + "/locked/closed folder", QFileDevice::Permissions());

    const ProgramRun::Result result =
        ProgramRun::run({"--convert", "--codec", "m4a", root},
                        ProgramRun::environment(TestEnvironment::home() + "/user"));
    inputs.unlock();
    ASSERT_FALSE(result.crashed) << result.errors.toStdString();
    EXPECT_EQ(result.exitCode, 1) << "some files could not be converted";

    QHash<QString, QString> outcome;
    for (const QString& line : result.output.split('\n')) {
        if (line.startsWith("OK ")) {
            outcome.insert(line.mid(3).section(" -> ", 0, 0), "OK");
        } else if (line.startsWith("ERREUR ")) {
            // Reasons hold " : " too: the path ends at the first one that
            // follows ".flac".
            const QString rest = line.mid(7);
            const qsizetype separator = rest.indexOf(".flac : ", 0, Qt::CaseInsensitive);
            if (separator >= 0) {
                outcome.insert(rest.left(separator + 5), rest.mid(separator + 8));
            }
        }
    }
    int converted = 0;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
        const QString& path = it.key();
        EXPECT_EQ(OutputReader::fileSha1(path), it.value())
            << "source changed: " << path.toStdString();
        // Every line stays one line: control characters are printed escaped.
        const QString printed = Log::withControlsEscaped(path, false);
        if (path.contains("closed folder")) {
            EXPECT_FALSE(outcome.contains(printed))
                << "nothing below an unreadable folder is listed";
            continue;
        }
        const QString ended = outcome.value(printed);
        EXPECT_FALSE(ended.isEmpty()) << "no outcome for " << path.toStdString();
        if (ended == "OK") {
            ++converted;
            // Output names drop control characters.
            const QFileInfo info(path);
            const QString output =
                info.absolutePath() + "/" +
                DestinationPattern::withoutControlCharacters(info.completeBaseName()) + ".m4a";
            EXPECT_GT(OutputReader::read(output).value("length").toDouble(), 0.0)
                << output.toStdString();
        }
    }
    for (const QString& path : inputs.hopeless) {
        EXPECT_NE(outcome.value(path), "OK") << path.toStdString();
    }
    if (ProgramRun::dropsPrivileges() || ::geteuid() != 0) {
        EXPECT_NE(outcome.value(inputs.locked().first()), "OK")
            << "an unreadable file cannot convert";
    }
    std::printf("%d inputs, %lld outcomes, %d converted\n", inputs.count, qint64(outcome.size()),
                converted);
    EXPECT_GE(converted, 30) << "the good files around the bad ones still convert";
    EXPECT_TRUE(TestEnvironment::leftovers(root).isEmpty())
        << TestEnvironment::leftovers(root).join('\n').toStdString();
}

TEST(Robustness, TheQueueKeepsBadInputsAcrossARestart) {
    const QString root = TestEnvironment::makeFolder("bad");
    BadInputs inputs(root);
    inputs.build();
    const QHash<QString, QString> before = sourceHashes(root);
    qint64 queued = 0;
    {
        TestApp app;
        app.add({root});
        queued = app.queue().countOfFichiersAudio();
        EXPECT_GE(queued, 150);
    }
    TestApp again;
    EXPECT_EQ(again.queue().countOfFichiersAudio(), queued);
    const auto huge =
        std::find_if(again.queue().fichiersAudio().cbegin(), again.queue().fichiersAudio().cend(),
                     [](const auto& file) { return file->nomElement() == "megabyte TITLE.flac"; });
    ASSERT_NE(huge, again.queue().fichiersAudio().cend());
    EXPECT_EQ((*huge)->outMetadataDict()->value("title").toString().size(), 1000000);
    for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
        EXPECT_EQ(OutputReader::fileSha1(it.key()), it.value()) << it.key().toStdString();
    }
}
