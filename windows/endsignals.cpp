// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/endsignals.h"

#include "windows/frmMain.h"
#include "windows/instances.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace rulecraft::windows {

namespace {

// A signal handler may only write to a file; the event loop reads the other end.
int signalSocket[2] = {-1, -1};

void noteSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSocket[1], &byte, 1);
}

} // namespace

void endOnTerminationSignals()
{
    if (signalSocket[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalSocket[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(signalSocket[0], &byte, 1);
        if (frmMain* main = existingInstance<frmMain>())
            main->close();
        else
            QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(signal, &action, nullptr);
}

} // namespace rulecraft::windows
