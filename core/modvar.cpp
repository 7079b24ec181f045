// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/modvar.h"

namespace rulecraft {

SharedVariables modVar;

} // namespace rulecraft
