// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace rulecraft::windows {

// When the system asks the program to stop (SIGTERM, SIGHUP, SIGINT, as at the end of a
// session), it ends as Exit ends it instead of dying on the spot, so that main returns and
// the dialogs' private settings folder of the run is removed.
void endOnTerminationSignals();

} // namespace rulecraft::windows
