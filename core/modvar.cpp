// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/modvar.h"
#include "core/stylesheet.h"

namespace rulecraft {

SharedVariables modVar;

void setCurrentTag(std::string_view key, std::string_view opener)
{
    modVar.TagKey = key;
    modVar.TagOpen = opener;
    modVar.TagClose = tagCloser;
}

} // namespace rulecraft
