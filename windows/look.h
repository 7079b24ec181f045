// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How every window looks and speaks: one style, the face the layout was drawn for, the
// icon, and names for screen readers.

class QFont;
class QIcon;

namespace rulecraft::windows {

// Points at 96 dpi, as pixels, so that fonts scale together with the twips geometry.
int pointsToPixels(double points);

// The face the captions were designed for, or the nearest that is installed.
QFont interfaceFont(int pixelSize);
void applyApplicationLook();

QIcon applicationIcon();

} // namespace rulecraft::windows
