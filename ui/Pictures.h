#pragma once
// The tool's own pictures, drawn at start-up: the result dialog's two icons
// and the main window's decorative servo.

#include <QPixmap>

namespace rvz {

// 32 x 32, transparent around the symbol: a yellow triangle with a dark blue
// exclamation mark and a grey shadow along its lower right edge.
QPixmap DrawWarningIcon();

// 32 x 32, transparent around the symbol: a white speech bubble shaded in pale
// blue, its tail at the bottom, bearing a dark blue letter i.
QPixmap DrawInformationIcon();

// 150 x 107: a digital servo with its output horn.
QPixmap DrawServoPicture();

}  // namespace rvz
