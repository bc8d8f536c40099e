#include "app/AppDelegate.h"
#include "app/InstanceChannel.h"
#include "cli/BatchConverter.h"
#include "model/LocalizedStrings.h"
#include "model/Settings.h"
#include "storage/UserDefaults.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {
// How long a second start waits for the first one to listen.
constexpr int kHandOverWaitMs = 15000;

QStringList absolutePaths(const QStringList& arguments) {
    QStringList paths;
    for (const QString& argument : arguments) {
        paths.append(QFileInfo(argument).absoluteFilePath());
    }
    return paths;
}

bool hasArgument(int argc, char* argv[], const char* wanted) {
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], wanted) == 0) {
            return true;
        }
    }
    return false;
}

void nameApplication() {
    QCoreApplication::setOrganizationName(QStringLiteral("Tonebridge"));
    QCoreApplication::setApplicationName(QStringLiteral("Tonebridge"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TONEBRIDGE_VERSION));
}
} // namespace

int main(int argc, char* argv[]) {
    // Modes that need no display decide before any window system is touched.
    if (hasArgument(argc, argv, "--version")) {
        std::printf("tonebridge %s\n", TONEBRIDGE_VERSION);
        return 0;
    }

    if (hasArgument(argc, argv, "--convert") || hasArgument(argc, argv, "--help")) {
        QCoreApplication application(argc, argv);
        nameApplication();
        UserDefaults defaults;
        Settings settings(defaults);
        LocalizedStrings::install();
        BatchConverter batch(settings, ExternalTools::found());
        // What each output was made from is the user's, whatever runs next.
        if (QDir().mkpath(AppDelegate::dataFolderPath())) {
            batch.setRecordsDatabase(AppDelegate::databasePath());
        }
        return batch.run(QCoreApplication::arguments().mid(1));
    }

    QApplication application(argc, argv);
    nameApplication();
    QStringList arguments = QApplication::arguments().mid(1);
    arguments.removeAll(QStringLiteral("--"));
    const QStringList paths = absolutePaths(arguments);

    UserDefaults defaults;
    Settings settings(defaults);
    LocalizedStrings::install();
    InstanceChannel channel;
    if (!channel.claim()) {
        // Another window runs, or is starting: it gets the paths.
        if (InstanceChannel::sendToRunningInstance(paths, kHandOverWaitMs)) {
            return 0;
        }
        std::fprintf(stderr, "%s\n",
                     qPrintable(QStringLiteral("Tonebridge est déjà ouvert mais ne répond pas")));
        return 1;
    }

    AppDelegate delegate(settings);
    channel.listen();
    QObject::connect(&channel, &InstanceChannel::pathsReceived, &delegate,
                     [&delegate](const QStringList& received) {
                         delegate.openPaths(received);
                         if (MainWindow* window = delegate.window()) {
                             window->raise();
                             window->activateWindow();
                         }
                     });
    delegate.openPaths(paths);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
