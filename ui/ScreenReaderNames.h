// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the main window's controls say to screen readers: the fields named
// by their labels, the arrows by what they do, the picture, the keys in
// the tooltips, and a pulse limit past the neutral position, in the
// language shown.

#include <QKeySequence>

#include <array>
#include <cstdint>
#include <vector>

#include "Conversions.h"
#include "Keys.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QWidget;

namespace rvz {

class TUpDown;

// Screen readers meet the main window as a window. Call once per window.
void SpeakAsWindow();

class TScreenReaderNames {
public:
    // Ties label to its field and arrows (none for the lock box); arrows
    // that step a hidden field of tenths give divisor 10.
    void LabelField(QLabel* label, QWidget* field, TUpDown* arrows, int divisor = 1);
    void SetPicture(QLabel* picture) { m_picture = picture; }
    void SetLimitFields(QLineEdit* lower, QLineEdit* upper);
    void SetKeys(std::vector<TKeyedButton> buttons, QAbstractButton* menuButton, std::array<QKeySequence, 2> menuKeys);

    // Names everything in language and has readers ask again.
    void Name(std::int32_t language, const TLimitCheck& check) const;
    // Red is not heard: a limit past the neutral position says so.
    void DescribeLimits(std::int32_t language, const TLimitCheck& check) const;

private:
    void NameFields(std::int32_t language) const;
    void NameKeys() const;
    void AnnounceDescriptions() const;

    struct LabelledField {
        QLabel* label;
        QWidget* field;
        TUpDown* arrows;  // null for the lock box
    };
    std::vector<LabelledField> m_labelledFields;
    QLabel* m_picture = nullptr;
    QLineEdit* m_lower = nullptr;
    QLineEdit* m_upper = nullptr;
    std::vector<TKeyedButton> m_keyedButtons;
    QAbstractButton* m_menuButton = nullptr;
    std::array<QKeySequence, 2> m_menuKeys;
};

}  // namespace rvz
