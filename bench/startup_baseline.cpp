// SPDX-License-Identifier: GPL-3.0-or-later
// The smallest Qt Widgets program: one empty window. Given "label", the window shows one
// line of text, so that it pays for loading fonts as any program with text does.
#include "firstpaint.h"

#include <QLabel>

#include <cstring>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const bool label = argc > 1 && std::strcmp(argv[1], "label") == 0;
    QWidget window;
    if (label)
        new QLabel(QStringLiteral("Rulecraft"), &window);
    FirstPaint::watch(&window);
    window.show();
    return app.exec();
}
