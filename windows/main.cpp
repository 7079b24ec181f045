// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/endsignals.h"
#include "windows/frmMain.h"
#include "windows/instances.h"
#include "windows/look.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    rulecraft::windows::applyApplicationLook();
    rulecraft::windows::openWindow<rulecraft::windows::frmMain>(nullptr);
    rulecraft::windows::endOnTerminationSignals();
    return app.exec();
}
