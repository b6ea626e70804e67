// SPDX-License-Identifier: GPL-3.0-or-later
#include "Msgex.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "Pictures.h"
#include "Strs.h"

namespace rvz {

namespace {

// Message keys by outcome: fault, success, mismatch.
constexpr std::array<const char*, 3> kMessageKeys{"Fault", "Succeed", "Mismatch"};

// A screen reader reads an alert in full as it appears, as it does a
// message box: the caption, the message and the button. A plain dialog
// would be named and its button read, the message left out.
QAccessibleInterface* ResultAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String(TMsgExForm::staticMetaObject.className()) && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::AlertMessage);
    return nullptr;
}

}  // namespace

TMsgExForm::TMsgExForm(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint)
{
    static const bool accessibleAsAlert = (QAccessible::installFactory(ResultAccessible), true);
    Q_UNUSED(accessibleAsAlert);
    setObjectName("MsgExForm");
    setModal(true);
    setFixedSize(308, 98);
    QFont dialogFont = font();
    dialogFont.setPixelSize(12);
    setFont(dialogFont);

    DrawImageList(1);

    m_msgLabel = new QLabel("MsgLabel", this);
    m_msgLabel->setObjectName("MsgLabel");
    m_msgLabel->setWordWrap(false);
    m_msgLabel->move(72, 24);

    m_image1 = new QLabel(this);
    m_image1->setObjectName("Image1");
    m_image1->setGeometry(24, 16, 32, 32);
    m_image1->setAttribute(Qt::WA_TranslucentBackground);

    m_okBtn = new QPushButton("OkBtn", this);
    m_okBtn->setObjectName("OkBtn");
    m_okBtn->setGeometry(120, 56, 81, 25);
    m_okBtn->setDefault(true);
    m_okBtn->setAutoDefault(true);
    connect(m_okBtn, &QPushButton::clicked, this, &QDialog::accept);
}

void TMsgExForm::DrawImageList(int scale)
{
    m_imageList1 = {DrawWarningIcon(scale), DrawInformationIcon(scale)};
    m_imageScale = scale;
}

const QPixmap& TMsgExForm::IconFor(int outcome) const
{
    return m_imageList1[outcome == kOutcomeSuccess ? 1 : 0];
}

void TMsgExForm::SetMessage(const QString& text, std::int32_t language, int outcome)
{
    setWindowTitle(TranslateText(outcome == kOutcomeSuccess ? "Info" : "Warn", language));

    // Callers pass 0, 1 or 2; anything else is worded as a fault.
    const char* messageKey = outcome >= 0 && outcome < 3 ? kMessageKeys[static_cast<std::size_t>(outcome)] : kMessageKeys[0];
    m_msgLabel->setText(text + QLatin1Char(':') + TranslateText(messageKey, language));
    m_msgLabel->adjustSize();

    m_okBtn->setText(TranslateText("OkBtn", language));

    // The icons are drawn for the screen the dialog is on, so a sharp screen
    // shows them sharp rather than stretched.
    if (const int scale = PictureScale(devicePixelRatioF()); scale != m_imageScale)
        DrawImageList(scale);
    m_image1->clear();
    m_image1->setPixmap(IconFor(outcome));
    // A screen reader names the icon as the caption does, and reads the
    // alert's caption and message as it appears: "Infomation" and
    // "Warning" tell the outcomes apart by ear, the message says which
    // operation. (The message as the alert's description too was read twice.)
    m_image1->setAccessibleName(windowTitle());
    setAccessibleName(windowTitle());
}

void TMsgExForm::showEvent(QShowEvent* event)
{
    if (QWidget* owner = parentWidget()) {
        const QRect area = owner->frameGeometry();
        const QSize frame = frameGeometry().size();
        move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
    }
    m_okBtn->setFocus();
    QDialog::showEvent(event);
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void TMsgExForm::keyPressEvent(QKeyEvent* event)
{
    // The dialog has no cancel button: Escape leaves it open.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace rvz
