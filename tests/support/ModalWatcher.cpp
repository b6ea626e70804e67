// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalWatcher.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "Msgex.h"

namespace rvz::test {

ModalWatcher::ModalWatcher()
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::Check);
    m_timer.start();
}

ModalWatcher::~ModalWatcher() = default;

void ModalWatcher::Check()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == m_handled || !modal->isVisible())
        return;
    m_handled = modal;

    SeenDialog dialog;
    dialog.objectName = modal->objectName();
    dialog.title = modal->windowTitle();
    if (auto* result = qobject_cast<TMsgExForm*>(modal)) {
        dialog.message = result->MsgLabel()->text();
        dialog.button = result->OkBtn()->text();
        dialog.informationIcon =
            result->Image1()->pixmap().toImage() == result->IconFor(kOutcomeSuccess).toImage();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        dialog.message = box->text();
        dialog.errorIcon = box->icon() == QMessageBox::Critical;
    }
    seen.push_back(dialog);

    const int keepOpenMs = onShown ? onShown(modal) : 0;
    QTimer::singleShot(keepOpenMs, modal, [this, modal] {
        if (auto* result = qobject_cast<TMsgExForm*>(modal))
            result->OkBtn()->click();
        else if (auto* box = qobject_cast<QMessageBox*>(modal))
            box->button(QMessageBox::Ok)->click();
        else if (auto* dialogWidget = qobject_cast<QDialog*>(modal))
            dialogWidget->reject();
        m_handled = nullptr;
    });
}

}  // namespace rvz::test
