// Rulecraft started as main() starts it, reporting its main window's first paint.
#include "controls.h"
#include "firstpaint.h"
#include "frmMain.h"
#include "instances.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    rulecraft::windows::applyApplicationLook();
    FirstPaint::watch(&rulecraft::windows::openWindow<rulecraft::windows::frmMain>());
    return app.exec();
}
