// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

#include <functional>

class QObject;

namespace rulecraft::windows {

// Hands an address to the user's web browser; calls cannotOpen, then or later, when none
// takes it. Anything it starts belongs to context.
void openInBrowser(QObject* context, const QUrl& address, const std::function<void()>& cannotOpen);

} // namespace rulecraft::windows
