// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every window exists at most once and is reached by its name. Opening a window creates
// it if needed (its constructor is its load step), then shows it modeless and brings it
// to the front. Closing destroys it with everything typed into it.

#include <QPointer>
#include <QWidget>

namespace rulecraft::windows {

template <typename Window> QPointer<Window>& sharedInstance()
{
    static QPointer<Window> instance;
    return instance;
}

template <typename Window> Window* existingInstance()
{
    return sharedInstance<Window>().data();
}

// A window belongs to its owner and goes when the owner goes: the main window owns the
// others, and owns nothing itself. What else a window is made with is handed to it only
// when it is made.
template <typename Window, typename... Made> Window& openWindow(QWidget* owner, Made&... made)
{
    QPointer<Window>& instance = sharedInstance<Window>();
    // A closed window waits hidden for its deferred deletion; it is already gone.
    if (instance && instance->isHidden())
        instance = nullptr;
    if (!instance) {
        instance = new Window(owner, made...);
        instance->setAttribute(Qt::WA_DeleteOnClose);
    }
    instance->show();
    instance->raise();
    instance->activateWindow();
    return *instance;
}

} // namespace rulecraft::windows
