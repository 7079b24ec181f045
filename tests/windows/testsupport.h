#pragma once

#include "commondialog.h"
#include "frmMain.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <functional>
#include <string>

namespace rulecraft::windows::test {

// Starts the program as main() does, with the shared state empty again.
frmMain& startProgram();

// The open window of that name, or nullptr.
QWidget* window(const char* name);

template <typename Control> Control* control(QWidget* window, const char* name)
{
    auto* found = window ? window->findChild<Control*>(QLatin1String(name)) : nullptr;
    if (!found)
        qFatal("no control %s", name);
    return found;
}

void click(QWidget* window, const char* name);
// Types any Unicode text, a key press for each character, as an input method would.
void typeText(QWidget* control, const QString& text);
CommonDialog& commonDialog();
// Whether the focus of the control's window is in it (or in its drop-down list's line edit).
bool hasFocus(QWidget* control);

// Runs action on the next modal widget other than notThis, as soon as it opens.
void onNextModal(std::function<void(QWidget*)> action, QWidget* notThis = nullptr);

// Presses Tab from the first control until the focus comes back to it; the object names
// in the order the focus visited them.
QStringList tabOrder(QWidget* window, QWidget* first);

QByteArray fileBytes(const QString& path);

// Closes every window and waits until they are destroyed.
bool closeEverything();

} // namespace rulecraft::windows::test
