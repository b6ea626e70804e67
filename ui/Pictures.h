// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tool's own pictures, drawn in code: the result dialog's two icons and
// the main window's decorative servo. Each is drawn at a scale of whole
// device pixels per logical pixel, so a sharp screen gets a sharp picture of
// the same logical size; scale 1 is the designed bitmap.

#include <QPixmap>

namespace rvz {

// 32 x 32, transparent around the symbol: a yellow triangle with a dark blue
// exclamation mark and a grey shadow along its lower right edge.
QPixmap DrawWarningIcon(int scale = 1);

// 32 x 32, transparent around the symbol: a white speech bubble shaded in pale
// blue, its tail at the bottom, bearing a dark blue letter i.
QPixmap DrawInformationIcon(int scale = 1);

// 150 x 107: a digital servo with its output horn.
QPixmap DrawServoPicture(int scale = 1);

inline constexpr int kMaxPictureScale = 4;

// The scale to draw at for a screen's device pixel ratio.
int PictureScale(qreal devicePixelRatio);

}  // namespace rvz
