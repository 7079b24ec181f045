#include "instances.h"

#include "frmMain.h"

namespace rulecraft::windows {

QWidget* ownerWindow()
{
    return openInstance<frmMain>();
}

} // namespace rulecraft::windows
