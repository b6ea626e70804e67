// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Texts that are never shown but spoken: what a screen reader says for the
// controls that carry no caption of their own, in each language.

#include <QString>

#include <cstdint>

namespace rvz {

enum class Spoken {
    IncreaseArrow,  // "Increase %1", %1 the field's name
    DecreaseArrow,  // "Decrease %1"
    ServoPicture,   // the window's decorative picture
    AboveNeutral,   // "%1 (above the neutral position)", %1 the field's hint: a lower limit past it
    BelowNeutral,   // "%1 (below the neutral position)": an upper limit past it
};

// The text in the language's column (every index but 0 and 1 reads English).
QString SpokenText(Spoken text, std::int32_t language);

// A label's caption as a name: without its trailing colon, ASCII or full-width.
QString NameFromCaption(const QString& caption);

}  // namespace rvz
