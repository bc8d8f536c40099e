// The real window, offscreen, driven without a user: "add PATH…" queues files
// and quits; "convert" runs a pass, printing every message the window shows,
// and quits when the pass has ended; "stop" starts a pass, presses Stop once
// the first file is taken and prints how long the stop and the next event
// took. The crash tests kill it mid-way.
#include "support/PassRunner.h"
#include "support/TestApp.h"
#include "support/TestEnvironment.h"
#include "ui/VueCtrlrFilez.h"
#include "ui/VueCtrlrReglage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tonebridge"));
    QApplication::setApplicationName(QStringLiteral("Tonebridge"));
    TestEnvironment::settings();
    const QStringList arguments = QApplication::arguments().mid(1);
    TestApp app;
    if (arguments.value(0) == QLatin1String("add")) {
        app.add(arguments.mid(1));
        std::printf("queued %lld\n", app.queue().countOfFichiersAudio());
        return 0;
    }
    QObject::connect(&app.reglage(), &VueCtrlrReglage::messageShown, [](const QString& message) {
        std::printf("%s\n", message.toUtf8().constData());
        std::fflush(stdout);
    });
    app.reglage().startConversion();
    if (arguments.value(0) == QLatin1String("stop")) {
        PassRunner::waitFor([&] { return app.delegate().core().controleur()->jobsInFlight() > 0; });
        PassRunner::waitFor([] { return false; }, 300);
        QElapsedTimer timer;
        timer.start();
        app.reglage().stopConversion();
        std::printf("stop-ms %lld\n", timer.elapsed());
        timer.restart();
        QTimer::singleShot(0, [] {});
        QApplication::processEvents();
        std::printf("event-ms %lld\n", timer.elapsed());
        std::fflush(stdout);
        return 0;
    }
    const bool ended = PassRunner::waitFor(
        [&] {
            return app.delegate().core().controleur()->statusConvertisseur() ==
                       kStatusConvertisseurArrete &&
                   app.delegate().core().controleur()->jobsInFlight() == 0;
        },
        600000);
    QApplication::processEvents();
    std::printf("ended %lld\n", app.queue().countOfFichiersAudio());
    return ended ? 0 : 1;
}
