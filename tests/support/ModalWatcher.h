// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Watches for modal dialogs while a test drives the window, records what each
// one showed and closes it as a user would, so a click that opens a dialog
// returns to the test.

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class QWidget;

namespace rvz::test {

struct SeenDialog {
    QString objectName;
    QString title;
    QString message;   // MsgLabel of the result dialog, or the error box's text
    QString button;    // the result dialog's OK caption
    bool informationIcon = false;
    bool errorIcon = false;  // the error box's critical icon
};

class ModalWatcher : public QObject {
    Q_OBJECT
public:
    ModalWatcher();
    ~ModalWatcher() override;

    std::vector<SeenDialog> seen;
    // Runs when a dialog appears, before it is closed; may delay the close by
    // returning a number of milliseconds to keep it open.
    std::function<int(QWidget* dialog)> onShown;

private:
    void Check();
    QTimer m_timer;
    QWidget* m_handled = nullptr;
};

}  // namespace rvz::test
