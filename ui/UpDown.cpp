// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpDown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace rvz {

namespace {

// A field's whole number as the spin buttons read it: optional sign and
// decimal digits, with thousands separators tolerated as a user may type them.
std::optional<long long> FieldNumber(const QString& text)
{
    QString digits = text.trimmed();
    digits.remove(QLatin1Char(','));
    bool ok = false;
    const long long value = digits.toLongLong(&ok, 10);
    return ok ? std::optional<long long>(value) : std::nullopt;
}

QToolButton* MakeArrow(QWidget* parent, Qt::ArrowType arrow)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(6, 6));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return button;
}

}  // namespace

TUpDown::TUpDown(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    m_upButton = MakeArrow(this, Qt::UpArrow);
    m_downButton = MakeArrow(this, Qt::DownArrow);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_upButton);
    layout->addWidget(m_downButton);
    connect(m_upButton, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_downButton, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::SetAssociate(QLineEdit* field)
{
    if (m_field)
        m_field->removeEventFilter(this);
    m_field = field;
    if (m_field)
        m_field->installEventFilter(this);
}

void TUpDown::SetArrowNames(const QString& increase, const QString& decrease)
{
    m_upButton->setAccessibleName(increase);
    m_downButton->setAccessibleName(decrease);
}

void TUpDown::SetRange(int minimum, int maximum)
{
    m_min = minimum;
    m_max = maximum;
}

void TUpDown::Step(int direction)
{
    // Bounds that crossed (a neutral position below the lower spin minimum)
    // still leave a range to stay in.
    const long long low = std::min(m_min, m_max);
    const long long high = std::max(m_min, m_max);
    long long current = m_position;
    if (m_field) {
        if (const auto typed = FieldNumber(m_field->text()))
            current = *typed;
    }
    const long long next = std::clamp(std::clamp(current, low, high) + direction * static_cast<long long>(m_increment), low, high);
    m_position = static_cast<int>(next);
    if (m_field)
        m_field->setText(QString::number(m_position));
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace rvz
