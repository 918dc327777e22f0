#include "signalnotifier.h"

#include "platform/diagnostics.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tavix {

namespace {

// The handler can reach nothing but this: [0] is written by the handler, [1] read by the loop.
int g_pipe[2] = {-1, -1};

void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Non-blocking: if the pipe is full, the loop has unread signals of its own to act on.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = savedErrno;
}

} // namespace

SignalNotifier::SignalNotifier(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent), m_signals(signalNumbers) {
    Q_ASSERT(g_pipe[0] < 0);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        printDiagnostic(QStringLiteral("\u274C SignalNotifier: couldn't create socket pair: ") +
                        errnoDescription(errno));
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalNotifier::readPending);
    for (const int number : m_signals) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(number, &action, nullptr) != 0) {
            printDiagnostic(QStringLiteral("\u274C SignalNotifier: couldn't handle signal %1: ").arg(number) +
                            errnoDescription(errno));
        }
    }
}

SignalNotifier::~SignalNotifier() {
    for (const int number : m_signals) {
        ::signal(number, SIG_DFL);
    }
    delete m_notifier;
    for (int& fd : g_pipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

void SignalNotifier::readPending() {
    unsigned char buffer[64];
    for (;;) {
        const ssize_t count = ::read(g_pipe[1], buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        for (ssize_t i = 0; i < count; ++i) {
            Q_EMIT received(buffer[i]);
        }
    }
}

} // namespace tavix
