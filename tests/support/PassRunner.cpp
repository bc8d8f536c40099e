#include "PassRunner.h"

#include "conversion/ExportSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

PassRunner::PassRunner(ConversionControleur* controleur) : m_controleur(controleur) {
    m_controleur->setDelegate(this);
}

PassRunner::~PassRunner() {
    if (m_controleur->delegate() == this) {
        m_controleur->setDelegate(nullptr);
    }
}

void PassRunner::updateUIavecControleur(ConversionControleur* controleur) {
    states.append(controleur->statusConvertisseur());
    indexes.append(controleur->indexFichier());
}

bool PassRunner::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void PassRunner::start() {
    m_controleur->demarrerLaConversion();
}

bool PassRunner::waitUntilIdle(int timeoutMs) {
    const bool ended = waitFor(
        [this] {
            const qint32 state = m_controleur->statusConvertisseur();
            // Idle once what failed or stopped has also been cleaned up: that
            // runs on threads of its own after the pass has ended.
            return (state == kStatusConvertisseurArrete || state == kStatusConvertisseurInactif) &&
                   m_controleur->jobsInFlight() == 0 && ExportSession::running() == 0;
        },
        timeoutMs);
    // Let the last queued messages arrive.
    QCoreApplication::processEvents();
    return ended;
}

bool PassRunner::runPass(int timeoutMs) {
    start();
    return waitUntilIdle(timeoutMs);
}
