// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Applying a language to a window's captions, and switching it from the
// language menu. It needs of a window only its caption, the three language
// items and its owned components in creation order.

#include <cstdint>

class QAction;
class QObject;
class QString;

namespace rvz {

struct TPreferences;

class TLanguageWindow {
public:
    virtual ~TLanguageWindow() = default;
    // The menu item of column 0, 1 or 2: pChineseTW, pChinese, pEnglish.
    virtual QAction* LanguageItem(int column) const = 0;
    virtual void SetCaption(const QString& caption) = 0;
    virtual int ComponentCount() const = 0;
    virtual QObject* Component(int index) const = 0;
    // Called once the captions are set, for a window that lays them out.
    virtual void CaptionsApplied() {}
};

// Installs Qt's translation of its own texts for the language (QtTexts.h),
// checks the language's menu item (every index but 0 and 1 checks English),
// sets the caption from key "ServoForm", then gives each owned component
// whose name has a row that row's text as its caption, found by property name.
void SetLanguage(TLanguageWindow& window, std::int32_t language);

// The language menu's click: a language other than the current one is
// stored, marked as changed and applied; the current one changes nothing.
void PickLanguage(TLanguageWindow& window, TPreferences& preferences, std::int32_t tag);

}  // namespace rvz
