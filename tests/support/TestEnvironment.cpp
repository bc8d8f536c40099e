#include "TestEnvironment.h"

#include "model/Settings.h"
#include "storage/UserDefaults.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <sys/stat.h>

namespace {
QString g_root;

void setVariable(const char* name, const QString& value) {
    qputenv(name, QFile::encodeName(value));
}
} // namespace

void TestEnvironment::setUp() {
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + "/tonebridge-test-XXXXXX");
    char* made = ::mkdtemp(pattern.data());
    if (made == nullptr) {
        std::abort();
    }
    g_root = QFile::decodeName(made);
    const QString homeFolder = g_root + "/home";
    QDir().mkpath(homeFolder + "/.config");
    QDir().mkpath(homeFolder + "/.local/share");
    QDir().mkpath(homeFolder + "/.cache");
    QDir().mkpath(g_root + "/runtime");
    ::chmod(QFile::encodeName(g_root + "/runtime").constData(), 0700);
    setVariable("HOME", homeFolder);
    setVariable("XDG_CONFIG_HOME", homeFolder + "/.config");
    setVariable("XDG_DATA_HOME", homeFolder + "/.local/share");
    setVariable("XDG_CACHE_HOME", homeFolder + "/.cache");
    setVariable("XDG_RUNTIME_DIR", g_root + "/runtime");
    setVariable("TMPDIR", g_root);
    qunsetenv("XDG_CONFIG_DIRS");
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

void TestEnvironment::tearDown() {
    if (!g_root.isEmpty()) {
        QFile::setPermissions(g_root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // Tests may leave read-only folders behind; make them removable first.
        const QByteArray command = "chmod -R u+rwx " + QFile::encodeName(g_root) + " 2>/dev/null";
        [[maybe_unused]] int ignored = std::system(command.constData());
        QDir(g_root).removeRecursively();
    }
}

QString TestEnvironment::root() {
    return g_root;
}

QString TestEnvironment::home() {
    return g_root + "/home";
}

QString TestEnvironment::makeFolder(const QString& name) {
    const QString path = home() + QLatin1Char('/') + name;
    QDir().mkpath(path);
    return path;
}

QStringList TestEnvironment::leftovers(const QString& root) {
    QStringList found;
    QDirIterator files(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString name = files.next().section(QLatin1Char('/'), -1);
        // Partial outputs and the locks that claim destinations are all
        // hidden under that prefix.
        if (name.contains(QLatin1String(".part.")) || name.startsWith(QLatin1String(".tmp_"))) {
            found << files.filePath();
        }
    }
    return found;
}

QString TestEnvironment::writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        std::abort();
    }
    return path;
}

UserDefaults& TestEnvironment::defaults() {
    static UserDefaults store;
    return store;
}

Settings& TestEnvironment::settings() {
    static Settings typed(defaults());
    return typed;
}
