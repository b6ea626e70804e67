// SPDX-License-Identifier: GPL-3.0-or-later
#include "Keys.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

namespace rvz {

namespace {

// A key held down repeats; a repeat is no fresh press. Repeats of the keys
// that press a button neither start another operation nor close the
// result dialog before it could be read (a dialog's default button takes
// any Enter, repeated or not). X sends a held key as release and press
// pairs, and Qt flags the press as a repeat only when both came in the same
// read; on a busy machine they often do not, and the pair carries no time
// stamp Qt passes on. So a press that comes within kRepeatGap of its key's
// release is a repeat too: no hand lets a key go and presses it again as
// fast.
class TKeyRepeatGuard final : public QObject {
public:
    explicit TKeyRepeatGuard(QObject* parent) : QObject(parent) { m_clock.start(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool pressesButtons = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                                    key->key() == Qt::Key_Space || key->key() == Qt::Key_Select;
        if (!pressesButtons)
            return false;
        const bool repeat = key->isAutoRepeat() || (event->type() == QEvent::KeyPress && key->key() == m_releasedKey &&
                                                    m_clock.elapsed() - m_releasedAt < kRepeatGapMs);
        if (event->type() == QEvent::KeyRelease) {
            m_releasedKey = key->key();
            m_releasedAt = m_clock.elapsed();
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool atButtonOrDialog =
            widget && (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QDialog*>(widget->window()));
        return repeat && atButtonOrDialog;
    }

private:
    static constexpr qint64 kRepeatGapMs = 60;
    QElapsedTimer m_clock;
    int m_releasedKey = 0;
    qint64 m_releasedAt = -kRepeatGapMs;
};

}  // namespace

// Like the buttons of the desktop the window is modelled on.
bool PressesFocusedButton(const QKeyEvent& key)
{
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && !key.isAutoRepeat();
}

void InstallKeyRepeatGuard(QWidget& window) { qApp->installEventFilter(new TKeyRepeatGuard(&window)); }

// Alt+L as its caption's first letter, F10 as the key that opens a
// window's menu on both desktops.
std::array<QKeySequence, 2> LanguageMenuKeys() { return {QKeySequence(Qt::ALT | Qt::Key_L), QKeySequence(Qt::Key_F10)}; }

TWindowKeys::TWindowKeys(QWidget& window) : QObject(&window), m_window(window) {}

void TWindowKeys::OnKey(const QKeySequence& key, const std::function<void()>& action)
{
    // Only while this window itself is the active one: a tool window of its
    // own (the demo's panel) shares its shortcuts, but a key pressed there
    // must not program the servo.
    // Nor while a menu is open, or by the key that closed it: a key meant
    // for the menu must not program the servo. Held down, it acts once.
    auto* shortcut = new QShortcut(key, &m_window);
    shortcut->setAutoRepeat(false);
    connect(shortcut, &QShortcut::activated, this, [this, action] {
        if (QApplication::activeWindow() == &m_window && !QApplication::activePopupWidget() && !m_menuJustClosed)
            action();
    });
}

void TWindowKeys::ClickOnKey(QAbstractButton* button, const QKeySequence& key)
{
    OnKey(key, [button] {
        if (button->isEnabled())
            button->click();
    });
}

void TWindowKeys::WatchMenu(QMenu& menu)
{
    // The key event that closes the menu is still being handled when it
    // closes; the flag lasts until that event is done.
    connect(&menu, &QMenu::aboutToHide, this, [this] {
        m_menuJustClosed = true;
        QTimer::singleShot(0, this, [this] { m_menuJustClosed = false; });
    });
    // The menu opens on the item in use, so Enter alone changes nothing.
    connect(&menu, &QMenu::aboutToShow, this, [&menu] {
        for (QAction* item : menu.actions())
            if (item->isChecked())
                menu.setActiveAction(item);
    });
}

}  // namespace rvz
