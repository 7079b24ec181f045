// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace rulecraft {

// The variables through which the windows talk to each other; all empty at start. Only the
// window handlers assign them, the current tag through setCurrentTag.
struct SharedVariables {
    std::string TagKey;     // key of the tag chosen last
    std::string TagOpen;    // its selector followed by " { "
    std::string TagClose;   // " }" CR LF
    std::string EditKey;    // the key the open rule editor captured when it loaded
    std::string LastRule;   // the rule committed last
    std::string AppVersion; // set when the main window loads
};

extern SharedVariables modVar;

// Makes a tag the current one: its key, the opener given and the closer of every rule, all
// three at once, whichever window chose it.
void setCurrentTag(std::string_view key, std::string_view opener);

} // namespace rulecraft
