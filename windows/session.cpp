// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <utility>

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

void pointSettingsAt(const QString& path)
{
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (auto scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, path);
    }
}

const QString nowhere = QStringLiteral("/dev/null/none");

} // namespace

Session* Session::current_ = nullptr;

Session::Session()
{
    current_ = this;
    // Where the login has no runtime folder, Qt makes one in the temporary folder; a TMPDIR
    // that names no folder would have it made at the root of the file system instead.
    if (const char* temporary = std::getenv("TMPDIR")) {
        std::error_code unreadable;
        if (!std::filesystem::is_directory(temporary, unreadable))
            unsetenv("TMPDIR");
    }
}

Session::~Session()
{
    if (current_ == this)
        current_ = nullptr;
    // The folder goes now: nothing may write below it again.
    if (pointed_)
        pointSettingsAt(nowhere);
}

void Session::keepNoSettings()
{
    if (current_)
        current_->pointSettings();
    else
        pointSettingsAt(nowhere);
}

void Session::pointSettings()
{
    if (std::exchange(pointed_, true))
        return;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base = QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
    // An empty base would put the folder at the root of the file system.
    if (QFileInfo(base).isDir())
        folder_.emplace(base + QStringLiteral("/rulecraft-dialogs-XXXXXX"));
    pointSettingsAt(folder_ && folder_->isValid() ? folder_->path() : nowhere);
}

void Session::endOnTerminationSignals(QWidget* mainWindow)
{
    mainWindow_ = mainWindow;
    if (signalSocket[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalSocket[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(signalSocket[0], &byte, 1);
        if (mainWindow_)
            mainWindow_->close();
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
