// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/endsignals.h"
#include "windows/frmMain.h"
#include "windows/instances.h"
#include "windows/look.h"

#include <QApplication>

#include <cstdlib>
#include <filesystem>

int main(int, char* argv[])
{
    // The program has no command line, so Qt is given none either: no -stylesheet,
    // -style, -platform or -reverse from whoever starts it.
    char fallbackName[] = "rulecraft";
    int argumentCount = 1;
    char* arguments[] = {argv[0] ? argv[0] : fallbackName, nullptr};
    // Where the login has no runtime folder, Qt makes one in the temporary folder; a TMPDIR
    // that names no folder would have it made at the root of the file system instead.
    if (const char* temporary = std::getenv("TMPDIR")) {
        std::error_code unreadable;
        if (!std::filesystem::is_directory(temporary, unreadable))
            unsetenv("TMPDIR");
    }
    QApplication app(argumentCount, arguments);
    // The desktop entry's name lets a Wayland compositor match the windows to it; the
    // version is the project's, from CMake.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.rulecraft.Rulecraft"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RULECRAFT_VERSION));
    rulecraft::windows::applyApplicationLook();
    rulecraft::windows::openWindow<rulecraft::windows::frmMain>(nullptr);
    rulecraft::windows::endOnTerminationSignals();
    return app.exec();
}
