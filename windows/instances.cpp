#include "instances.h"

#include "frmMain.h"

namespace rulecraft::windows {

QWidget* ownerWindow()
{
    return existingInstance<frmMain>();
}

} // namespace rulecraft::windows
