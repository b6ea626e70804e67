// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A closed drop-down list as screen readers meet it. Qt's own gives a
// reader no text to read for the choice shown, so Orca met the focused
// field as "Lock: combo box." with no value; here the choice shown is the
// field's text, and the list's selection follows it, where a reader looks
// for a new choice.

class QComboBox;

namespace rvz {

// Call once per box.
void SpeakChoice(QComboBox* box);

}  // namespace rvz
