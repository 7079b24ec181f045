// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What holds for the whole run, whichever windows are open: Qt keeps its settings only in
// a private folder of the run, removed when the session ends, and the system's request to
// stop ends the program as Exit does. main makes one session before the application.

#include <QPointer>
#include <QTemporaryDir>
#include <QWidget>

#include <optional>

namespace rulecraft::windows {

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // When the system asks the program to stop (SIGTERM, SIGHUP, SIGINT, as at the end of a
    // login), mainWindow is closed as Exit closes it instead of the program dying on the
    // spot, so that main returns and the private folder is removed.
    void endOnTerminationSignals(QWidget* mainWindow);

    // Qt's own dialogs keep their history and custom colours in the user's settings and read
    // what other Qt programs left there. Before the first dialog, this points them at the
    // session's private folder, made then, in the per-login folder that logging out clears
    // where there is one, else in the temporary folder; where none can be made, or there is
    // no session, below /dev/null, where nothing can ever be written.
    static void keepNoSettings();

private:
    void pointSettings();

    static Session* current_;
    std::optional<QTemporaryDir> folder_;
    bool pointed_ = false;
    QPointer<QWidget> mainWindow_;
};

} // namespace rulecraft::windows
