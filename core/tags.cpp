// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stylesheet.h"
#include "core/text.h"

namespace rulecraft {

std::string headingKey(std::string_view size)
{
    return joined({"h", size});
}

std::string openerFor(std::string_view selector)
{
    return joined({selector, " { "});
}

std::string editorHeading(std::string_view editKey)
{
    return joined({"Editing Tag for: ", editKey, " Selector"});
}

std::string editorTitle(std::string_view editKey)
{
    return joined({editKey, " { PROPERTY : VALUE }"});
}

} // namespace rulecraft
