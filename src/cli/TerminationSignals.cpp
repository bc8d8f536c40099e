#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
int g_pipe[2] = {-1, -1};
std::atomic<int> g_received{0};
} // namespace

void TerminationSignals::handle(int signalNumber) {
    int expected = 0;
    g_received.compare_exchange_strong(expected, signalNumber);
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    g_received = 0;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(g_pipe[0], &byte, 1) == 1) {
        }
        emit terminationRequested(g_received.load());
    });
    struct sigaction action {};
    action.sa_handler = &TerminationSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int index = 0; index < 3; ++index) {
        ::sigaction(kSignals[index], &action, &m_previous[index]);
    }
}

TerminationSignals::~TerminationSignals() {
    if (m_notifier == nullptr) {
        return;
    }
    for (int index = 0; index < 3; ++index) {
        ::sigaction(kSignals[index], &m_previous[index], nullptr);
    }
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

int TerminationSignals::received() {
    return g_received.load();
}
