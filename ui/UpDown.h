// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Spin buttons bound to an edit field. Before each step they read the field's
// whole number, step by their increment, stop at their bounds without
// wrapping and write the number back as plain digits. They answer Up and Down
// pressed in the field. Unlike a spin box they never limit what is typed.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace rvz {

class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    void SetAssociate(QLineEdit* field);
    void SetRange(int minimum, int maximum);
    void SetMin(int minimum) { m_min = minimum; }
    void SetMax(int maximum) { m_max = maximum; }
    void SetIncrement(int increment) { m_increment = increment; }
    void SetPosition(int position) { m_position = position; }
    int Min() const { return m_min; }
    int Max() const { return m_max; }
    int Increment() const { return m_increment; }
    int Position() const { return m_position; }

    // What a screen reader says for the two arrows.
    void SetArrowNames(const QString& increase, const QString& decrease);

    // One step up (+1) or down (-1), as a click on an arrow does.
    void Step(int direction);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_field = nullptr;
    QToolButton* m_upButton = nullptr;
    QToolButton* m_downButton = nullptr;
    int m_min = 0;
    int m_max = 100;
    int m_increment = 1;
    int m_position = 0;
};

}  // namespace rvz
