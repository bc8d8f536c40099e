#include "support/FlacFactory.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(300000);
    const QByteArray text = process.readAll();
    if (output != nullptr) {
        *output = text;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s %s:\n%s\n", qPrintable(program), qPrintable(arguments.join(' ')),
                     text.constData());
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
} // namespace

TEST(Install, InstallsTheProgramAndItsDesktopFiles) {
    const QString prefix = TestEnvironment::makeFolder("prefix");
    ASSERT_EQ(run(TONEBRIDGE_CMAKE, {"--install", TONEBRIDGE_BUILD_DIR, "--prefix", prefix}), 0);
    EXPECT_TRUE(QFileInfo(prefix + "/bin/tonebridge").isExecutable());

    const QString desktop = prefix + "/share/applications/tonebridge.desktop";
    ASSERT_TRUE(QFile::exists(desktop));
    EXPECT_EQ(run("desktop-file-validate", {desktop}), 0);
    QFile entryFile(desktop);
    entryFile.open(QIODevice::ReadOnly);
    QMap<QString, QString> entry;
    for (const QByteArray& line : entryFile.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0) {
            entry.insert(QString::fromUtf8(line.left(equals)),
                         QString::fromUtf8(line.mid(equals + 1)));
        }
    }
    EXPECT_EQ(entry.value("Exec"), "tonebridge %F");
    EXPECT_EQ(entry.value("MimeType"), "audio/flac;audio/x-flac;");
    EXPECT_EQ(entry.value("Name"), "Tonebridge");
    EXPECT_EQ(entry.value("GenericName[fr]"), "Convertisseur FLAC");
    EXPECT_EQ(entry.value("GenericName"), "FLAC Converter");

    const QString metainfo = prefix + "/share/metainfo/org.tonebridge.Tonebridge.metainfo.xml";
    ASSERT_TRUE(QFile::exists(metainfo));
    EXPECT_EQ(run("appstreamcli", {"validate", "--no-net", metainfo}), 0);

    EXPECT_TRUE(QFile::exists(prefix + "/share/icons/hicolor/scalable/apps/tonebridge.svg"));
    for (const int side : {16, 32, 48, 64, 128, 256}) {
        const QString png =
            QString("%1/share/icons/hicolor/%2x%2/apps/tonebridge.png").arg(prefix).arg(side);
        const QImage icon(png);
        EXPECT_EQ(icon.size(), QSize(side, side)) << png.toStdString();
    }
    EXPECT_GT(QFileInfo(prefix + "/share/tonebridge/translations/tonebridge_fr.qm").size(), 1000);

    // The installed program runs from its prefix and finds the flac programs.
    const QString source = FlacFactory::make(TestEnvironment::home() + "/Music/i.flac");
    QByteArray output;
    EXPECT_EQ(run(prefix + "/bin/tonebridge", {"--convert", "--codec", "wav", source}, &output), 0);
    EXPECT_TRUE(QFile::exists(TestEnvironment::home() + "/Music/i.wav")) << output.toStdString();
}

TEST(Install, DebianPackageNamesItsRuntimeAndRunsFromAScratchRoot) {
    const QString out = TestEnvironment::makeFolder("package");
    ASSERT_EQ(run(TONEBRIDGE_CPACK,
                  {"-G", "DEB", "--config", TONEBRIDGE_BUILD_DIR "/CPackConfig.cmake", "-B", out}),
              0);
    const QStringList packages = QDir(out).entryList({"tonebridge_*.deb"});
    ASSERT_EQ(packages.size(), 1);
    const QString deb = out + "/" + packages.first();
    QByteArray depends;
    ASSERT_EQ(run("dpkg-deb", {"-f", deb, "Depends"}, &depends), 0);
    for (const char* dependency : {"libqt6widgets6", "libavformat59", "libavcodec59",
                                   "libswresample4", "libsqlite3-0", "flac"}) {
        EXPECT_TRUE(depends.contains(dependency)) << dependency;
    }
    const QString root = TestEnvironment::makeFolder("root");
    ASSERT_EQ(run("dpkg", {"-x", deb, root}), 0);
    QByteArray version;
    ASSERT_EQ(run(root + "/usr/bin/tonebridge", {"--version"}, &version), 0);
    EXPECT_TRUE(version.startsWith("tonebridge ")) << version.toStdString();
    EXPECT_TRUE(QFile::exists(root + "/usr/share/applications/tonebridge.desktop"));
}
