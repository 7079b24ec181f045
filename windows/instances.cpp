// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/instances.h"

#include "windows/frmMain.h"

namespace rulecraft::windows {

QWidget* ownerWindow()
{
    return existingInstance<frmMain>();
}

} // namespace rulecraft::windows
