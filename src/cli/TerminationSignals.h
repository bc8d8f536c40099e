#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP (Ctrl-C, a kill, a terminal closing) turned
// into a signal of the event loop, so a batch run stops as the window's
// stop does instead of dying where it stands. The previous handlers come
// back when the object goes. Lives on the main thread.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // The first signal received, 0 while none came; readable at any moment,
    // also while the event loop does not run.
    static int received();
    // The exit status a shell gives a program ended by that signal.
    static int exitStatus(int signalNumber) { return 128 + signalNumber; }

signals:
    void terminationRequested(int signalNumber);

private:
    static void handle(int signalNumber);

    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[3]{};
};
