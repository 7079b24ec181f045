// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every window exists at most once and is reached by its name. Opening a window creates
// it if needed (its constructor is its load step), then shows it modeless and brings it
// to the front. Closing destroys it with everything typed into it.

#include <QPointer>
#include <QWidget>

#include <type_traits>

namespace rulecraft::windows {

class frmMain;

template <typename Window> QPointer<Window>& sharedInstance()
{
    static QPointer<Window> instance;
    return instance;
}

template <typename Window> Window* existingInstance()
{
    return sharedInstance<Window>().data();
}

// The other windows belong to the main window: they go when it goes.
QWidget* ownerWindow();

template <typename Window> Window& openWindow()
{
    QPointer<Window>& instance = sharedInstance<Window>();
    // A closed window waits hidden for its deferred deletion; it is already gone.
    if (instance && instance->isHidden())
        instance = nullptr;
    if (!instance) {
        if constexpr (std::is_same_v<Window, frmMain>)
            instance = new Window(nullptr);
        else
            instance = new Window(ownerWindow());
        instance->setAttribute(Qt::WA_DeleteOnClose);
    }
    instance->show();
    instance->raise();
    instance->activateWindow();
    return *instance;
}

} // namespace rulecraft::windows
