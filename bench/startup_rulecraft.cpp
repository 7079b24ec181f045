// SPDX-License-Identifier: GPL-3.0-or-later
// Rulecraft started as main() starts it, reporting its main window's first paint.
#include "windows/look.h"
#include "firstpaint.h"
#include "windows/frmMain.h"
#include "windows/instances.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    rulecraft::windows::applyApplicationLook();
    FirstPaint::watch(&rulecraft::windows::openWindow<rulecraft::windows::frmMain>(nullptr));
    return app.exec();
}
