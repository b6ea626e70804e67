// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Unit Msgex: the result dialog that reports one adapter operation's outcome
// in the current language.

#include <QDialog>
#include <QPixmap>

#include <array>
#include <cstdint>

class QLabel;
class QPushButton;

namespace rvz {

// Outcome codes of an operation.
inline constexpr int kOutcomeFault = 0;
inline constexpr int kOutcomeSuccess = 1;
inline constexpr int kOutcomeMismatch = 2;

class TMsgExForm : public QDialog {
    Q_OBJECT
public:
    // The dialog centres itself on mainWindow each time it is shown.
    explicit TMsgExForm(QWidget* mainWindow);

    // Sets the caption, the message text + ":" + outcome text, the button
    // and the icon anew; nothing of an earlier call remains.
    void SetMessage(const QString& text, std::int32_t language, int outcome);

    QLabel* MsgLabel() const { return m_msgLabel; }
    QLabel* Image1() const { return m_image1; }
    QPushButton* OkBtn() const { return m_okBtn; }
    // The icon shown for an outcome: image 1 for success, image 0 otherwise,
    // 32 x 32 logical pixels drawn for the screen of the last message.
    const QPixmap& IconFor(int outcome) const;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void DrawImageList(int scale);

    QLabel* m_msgLabel = nullptr;
    QLabel* m_image1 = nullptr;
    QPushButton* m_okBtn = nullptr;
    std::array<QPixmap, 2> m_imageList1;  // 0 warning, 1 information
    int m_imageScale = 1;
};

}  // namespace rvz
