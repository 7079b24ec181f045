// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace rulecraft {

// Joins texts into one, sized once. It also keeps g++ 12 from a false -Wrestrict warning
// that it gives for "literal" + std::string when optimising.
inline std::string joined(std::initializer_list<std::string_view> parts)
{
    std::size_t size = 0;
    for (std::string_view part : parts)
        size += part.size();
    std::string text;
    text.reserve(size);
    for (std::string_view part : parts)
        text += part;
    return text;
}

} // namespace rulecraft
