// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/stylesheet.h"

namespace rulecraft {

std::string colourToHex(std::uint32_t colour)
{
    static constexpr std::string_view digits = "0123456789ABCDEF";
    const std::uint32_t channels[] = {colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF};
    std::string text = "#";
    for (std::uint32_t channel : channels) {
        text += digits[channel >> 4];
        text += digits[channel & 0xF];
    }
    return text;
}

} // namespace rulecraft
