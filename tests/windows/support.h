// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windows/commondialog.h"
#include "windows/frmMain.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <functional>

namespace rulecraft::windows::test {

// Starts the program as main() does, with the shared state empty again. With a script,
// the dialogs and messages answer from it instead of being shown.
frmMain& startProgram(CommonDialog::Script* script = nullptr);

// The open window of that name, or nullptr.
QWidget* window(const char* name);

// Fails the running test; the caller then works on a stand-in instead of crashing.
void missing(const char* name);

template <typename Control> Control* control(QWidget* window, const char* name)
{
    if (auto* found = window ? window->findChild<Control*>(QLatin1String(name)) : nullptr)
        return found;
    missing(name);
    static Control* const standIn = new Control(nullptr);
    return standIn;
}

void click(QWidget* window, const char* name);
// Types any text, a key press for each character (both halves of a pair at once), as an
// input method would.
void typeText(QWidget* control, const QString& text);
// Whether the focus of the control's window is in it (or in its drop-down list's line edit).
bool hasFocus(QWidget* control);
QByteArray fileBytes(const QString& path);
// Closes every window and waits until they are destroyed.
bool closeEverything();

} // namespace rulecraft::windows::test
