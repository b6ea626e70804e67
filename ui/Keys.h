// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's keys: shortcuts that press its buttons and open its
// menu, Enter at a push button, and held keys that must not act twice.

#include <QKeySequence>
#include <QObject>

#include <array>
#include <functional>

class QAbstractButton;
class QKeyEvent;
class QMenu;
class QWidget;

namespace rvz {

// A button and the key that presses it without a place in the tab order.
struct TKeyedButton {
    QAbstractButton* button;
    QKeySequence key;
};

// Enter presses the focused push button, as Space does.
bool PressesFocusedButton(const QKeyEvent& key);

// Lets no held key press a button or close a dialog again; the guard lives
// as long as window.
void InstallKeyRepeatGuard(QWidget& window);

// Alt+L and F10 open the language menu.
std::array<QKeySequence, 2> LanguageMenuKeys();

// The shortcuts of one window. Each acts once per press, only while that
// window is the active one and no menu is open or was just closed by it.
class TWindowKeys final : public QObject {
public:
    explicit TWindowKeys(QWidget& window);

    void OnKey(const QKeySequence& key, const std::function<void()>& action);
    // The key does what a click does, and nothing while button is disabled.
    void ClickOnKey(QAbstractButton* button, const QKeySequence& key);
    // Keys that close menu do nothing more; it opens on its checked item.
    void WatchMenu(QMenu& menu);

private:
    QWidget& m_window;
    bool m_menuJustClosed = false;
};

}  // namespace rvz
