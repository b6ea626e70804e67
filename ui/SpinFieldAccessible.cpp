// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpinFieldAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QPointer>

#include <algorithm>

#include "NumberText.h"
#include "UpDown.h"

namespace rvz {

namespace {

constexpr const char* kArrowsProperty = "rvzSpinArrows";
constexpr const char* kDivisorProperty = "rvzSpinDivisor";

// The field's number, dead band tenths included, whichever decimal
// separator the user's locale gave it; none while it holds no number.
QVariant FieldValue(const QLineEdit& field)
{
    QString text = field.text().trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? QVariant(value) : QVariant();
}

class TSpinFieldAccessible final : public QAccessibleWidget,
                                   public QAccessibleTextInterface,
                                   public QAccessibleEditableTextInterface,
                                   public QAccessibleValueInterface {
public:
    TSpinFieldAccessible(QLineEdit* field, TUpDown* arrows, int divisor)
        : QAccessibleWidget(field, QAccessible::SpinBox), m_arrows(arrows), m_divisor(divisor)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        switch (type) {
        case QAccessible::TextInterface:
            return static_cast<QAccessibleTextInterface*>(this);
        case QAccessible::EditableTextInterface:
            return static_cast<QAccessibleEditableTextInterface*>(this);
        case QAccessible::ValueInterface:
            return static_cast<QAccessibleValueInterface*>(this);
        default:
            return QAccessibleWidget::interface_cast(type);
        }
    }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Value ? Field().text() : QAccessibleWidget::text(kind);
    }

    // --- value
    QVariant currentValue() const override { return FieldValue(Field()); }
    // A value set by an assistive tool: held to the arrows' range and
    // written as the user would type it.
    void setCurrentValue(const QVariant& value) override
    {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || !m_arrows)
            return;
        const double held = std::clamp(number, minimumValue().toDouble(), maximumValue().toDouble());
        QString text = QString::number(held, 'f', m_divisor == 1 ? 0 : 1);
        text.replace(QLatin1Char('.'), QLatin1Char(UserDecimalSeparator()));
        Field().setText(text);
    }
    QVariant maximumValue() const override { return Scaled(m_arrows ? std::max(m_arrows->Min(), m_arrows->Max()) : 0); }
    QVariant minimumValue() const override { return Scaled(m_arrows ? std::min(m_arrows->Min(), m_arrows->Max()) : 0); }
    QVariant minimumStepSize() const override { return Scaled(m_arrows ? m_arrows->Increment() : 0); }

    // --- text, as the edit field holds it
    void selection(int index, int* start, int* end) const override
    {
        *start = *end = 0;
        if (index == 0 && Field().hasSelectedText()) {
            *start = Field().selectionStart();
            *end = *start + static_cast<int>(Field().selectedText().size());
        }
    }
    int selectionCount() const override { return Field().hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { Field().setSelection(start, end - start); }
    void removeSelection(int) override { Field().deselect(); }
    void setSelection(int, int start, int end) override { Field().setSelection(start, end - start); }
    int cursorPosition() const override { return Field().cursorPosition(); }
    void setCursorPosition(int position) override { Field().setCursorPosition(position); }
    QString text(int start, int end) const override { return Field().text().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Field().text().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint& point) const override
    {
        return Field().cursorPositionAt(Field().mapFromGlobal(point));
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

    // --- editing
    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override
    {
        QString now = Field().text();
        if (start < 0 || end < start || end > now.size())
            return;  // a range backwards or past the text changes nothing
        now.replace(start, end - start, text);
        Field().setText(now);
    }

private:
    QLineEdit& Field() const { return *static_cast<QLineEdit*>(widget()); }
    QVariant Scaled(int count) const
    {
        if (!m_arrows)
            return {};
        return m_divisor == 1 ? QVariant(count) : QVariant(static_cast<double>(count) / m_divisor);
    }
    QPointer<TUpDown> m_arrows;
    int m_divisor;
};

QAccessibleInterface* SpinFieldAccessible(const QString& className, QObject* object)
{
    auto* field = className == QLatin1String("QLineEdit") ? qobject_cast<QLineEdit*>(object) : nullptr;
    if (!field)
        return nullptr;
    auto* arrows = qobject_cast<TUpDown*>(field->property(kArrowsProperty).value<QObject*>());
    return arrows ? new TSpinFieldAccessible(field, arrows, std::max(1, field->property(kDivisorProperty).toInt()))
                  : nullptr;
}

}  // namespace

void SpeakAsSpinBox(QLineEdit* field, TUpDown* arrows, int divisor)
{
    static const bool installed = (QAccessible::installFactory(SpinFieldAccessible), true);
    Q_UNUSED(installed);
    field->setProperty(kArrowsProperty, QVariant::fromValue(static_cast<QObject*>(arrows)));
    field->setProperty(kDivisorProperty, divisor);
    // Typed, stepped or set by a read: the new value is told.
    QObject::connect(field, &QLineEdit::textChanged, field, [field] {
        QAccessibleValueChangeEvent changed(field, FieldValue(*field));
        QAccessible::updateAccessibility(&changed);
    });
}

}  // namespace rvz
