#include "controls.h"
#include "frmMain.h"
#include "instances.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    rulecraft::windows::applyApplicationLook();
    rulecraft::windows::openWindow<rulecraft::windows::frmMain>();
    return app.exec();
}
