#include "ProgramRun.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <unistd.h>

namespace {
constexpr uid_t kNobody = 65534;
}

bool ProgramRun::dropsPrivileges() {
    return ::geteuid() == 0;
}

void ProgramRun::shareFolder(const QString& path) {
    QDir().mkpath(path);
    const auto all = QFileDevice::Permissions(0x7777);
    QFile::setPermissions(path, all);
    // Every folder above it, up to the test's root, lets others through.
    const QString root = TestEnvironment::root();
    QString folder = QFileInfo(path).absolutePath();
    while (folder.startsWith(root)) {
        QFile::setPermissions(folder, QFile::permissions(folder) | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther);
        if (folder == root) {
            break;
        }
        folder = QFileInfo(folder).absolutePath();
    }
}

QProcessEnvironment ProgramRun::environment(const QString& home) {
    shareFolder(home);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("TMPDIR"), home);
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return environment;
}

ProgramRun::Result ProgramRun::run(const QStringList& arguments,
                                   const QProcessEnvironment& environment, int timeoutMs,
                                   qint64 fileSizeLimit) {
    QProcess process;
    process.setProcessEnvironment(environment);
    QStringList command = {QStringLiteral(TONEBRIDGE_BINARY)};
    if (dropsPrivileges()) {
        command = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(kNobody),
                              QStringLiteral("--regid=%1").arg(kNobody),
                              QStringLiteral("--clear-groups")} +
                  command;
    }
    command += arguments;
    if (fileSizeLimit > 0) {
        // The shell ignores the signal a write past the limit sends, so the
        // write fails with an error instead, as on a full disk.
        command =
            QStringList{
                QStringLiteral("sh"), QStringLiteral("-c"),
                QStringLiteral("ulimit -f %1; trap '' XFSZ; exec \"$@\"").arg(fileSizeLimit / 512),
                QStringLiteral("limited")} +
            command;
    }
    process.start(command.first(), command.mid(1));
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.crashed = true;
    }
    result.crashed = result.crashed || process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}
