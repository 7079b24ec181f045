// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/frmMain.h"
#include "windows/instances.h"
#include "windows/look.h"
#include "windows/session.h"

#include <QApplication>

#include <sys/resource.h>

int main(int, char* argv[])
{
    // The program has no command line, so Qt is given none either: no -stylesheet,
    // -style, -platform or -reverse from whoever starts it.
    char fallbackName[] = "rulecraft";
    int argumentCount = 1;
    char* arguments[] = {argv[0] ? argv[0] : fallbackName, nullptr};
    // Connections to the preview count against the open files, so the usual soft limit of
    // 1,024 is raised to the hard one, as long-running desktop programs do: the windows'
    // own pipes and the dialogs never starve.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    // Made before the application and ended after it, so that nothing Qt writes as it ends
    // lands outside the session's private folder.
    rulecraft::windows::Session session;
    QApplication app(argumentCount, arguments);
    // The desktop entry's name lets a Wayland compositor match the windows to it; the
    // version is the project's, from CMake.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.rulecraft.Rulecraft"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RULECRAFT_VERSION));
    rulecraft::windows::applyApplicationLook();
    session.endOnTerminationSignals(
        &rulecraft::windows::openWindow<rulecraft::windows::frmMain>(nullptr));
    return app.exec();
}
