// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

namespace rulecraft::windows {

// Designed positions are in twips: 15 to a pixel at 96 dpi. Qt scales pixels further on
// high-dpi screens.
constexpr int twipsPerPixel = 15;

constexpr int twips(int value)
{
    return value / twipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return {twips(left), twips(top), twips(width), twips(height)};
}

} // namespace rulecraft::windows
