// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace rulecraft {

// The variables through which the windows talk to each other; all empty at start. Only the
// window handlers assign them.
struct SharedVariables {
    std::string TagKey;     // key of the tag chosen last
    std::string TagOpen;    // its selector followed by " { "
    std::string TagClose;   // " }" CR LF
    std::string EditKey;    // the key the open rule editor captured when it loaded
    std::string LastRule;   // the rule committed last
    std::string AppVersion; // set when the main window loads
};

extern SharedVariables modVar;

} // namespace rulecraft
