// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An edit field with spin buttons, as screen readers meet it: a spin box
// whose value is the field's number. A plain edit field's text changed by
// the arrows or the Up and Down keys is not read out; a spin box's new
// value is. Its text stays readable and editable as an edit field's.

class QLineEdit;

namespace rvz {

class TUpDown;

// Makes field a spin box to screen readers, its range and step those of
// arrows divided by divisor (arrows that step a hidden field of tenths),
// and tells them each new value. Call once per field.
void SpeakAsSpinBox(QLineEdit* field, TUpDown* arrows, int divisor = 1);

}  // namespace rvz
