#include "SessionEnd.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace zolven {
namespace {

// Self-pipe: the handler may only write a byte; the event loop does the rest.
int g_pipe[2] = {-1, -1};
QPointer<QSocketNotifier> g_notifier;

extern "C" void onQuitSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // Non-blocking: when the pipe is full, a request is already pending.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void takeRequest()
{
    unsigned char bytes[32];
    int signal = 0;
    ssize_t n;
    while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
        signal = bytes[n - 1];
    qDebug().noquote().nospace() << "[Quit] Signal " << signal << " received, quitting";
    // exit(), not quit(): it also ends a modal loop that runs before the main one.
    QCoreApplication::exit(0);
}

} // namespace

void quitOnSessionEnd(QCoreApplication& app)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qDebug().noquote() << "[Quit] No signal pipe; a stop signal ends the process at once";
        return;
    }
    if (!g_notifier || g_notifier->parent() != &app) {
        g_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, &app);
        QObject::connect(g_notifier, &QSocketNotifier::activated, &app, takeRequest);
    }

    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    // One clean attempt: a second signal finds the default action and ends a stuck teardown.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace zolven
