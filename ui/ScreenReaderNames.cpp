// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenReaderNames.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QLabel>
#include <QLineEdit>

#include "Main.h"
#include "SpinFieldAccessible.h"
#include "SpokenTexts.h"
#include "UpDown.h"

namespace rvz {

namespace {

// A plain top-level widget reads as a "filler" to screen readers; the main
// window is a window.
QAccessibleInterface* ServoFormAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String(TServoForm::staticMetaObject.className()) && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

QString KeyNames(std::initializer_list<QKeySequence> keys)
{
    QStringList names;
    for (const QKeySequence& key : keys)
        names << key.toString(QKeySequence::NativeText);
    return names.join(QStringLiteral(", "));
}

void ShowKeysInTooltip(QAbstractButton* button, std::initializer_list<QKeySequence> keys)
{
    button->setToolTip(QStringLiteral("%1 (%2)").arg(button->text(), KeyNames(keys)));
}

}  // namespace

void SpeakAsWindow()
{
    // Installed once, however many windows are made.
    static const bool accessibleAsWindow = (QAccessible::installFactory(ServoFormAccessible), true);
    Q_UNUSED(accessibleAsWindow);
}

void TScreenReaderNames::LabelField(QLabel* label, QWidget* field, TUpDown* arrows, int divisor)
{
    // The buddy ties the caption to its field for screen readers.
    label->setBuddy(field);
    m_labelledFields.push_back({label, field, arrows});
    if (auto* edit = qobject_cast<QLineEdit*>(field); edit && arrows)
        SpeakAsSpinBox(edit, arrows, divisor);
}

void TScreenReaderNames::SetLimitFields(QLineEdit* lower, QLineEdit* upper)
{
    m_lower = lower;
    m_upper = upper;
}

void TScreenReaderNames::SetKeys(std::vector<TKeyedButton> buttons, QAbstractButton* menuButton,
                                 std::array<QKeySequence, 2> menuKeys)
{
    m_keyedButtons = std::move(buttons);
    m_menuButton = menuButton;
    m_menuKeys = menuKeys;
}

void TScreenReaderNames::Name(std::int32_t language, const TLimitCheck& check) const
{
    NameFields(language);
    m_picture->setAccessibleName(SpokenText(Spoken::ServoPicture, language));
    NameKeys();
    // A tooltip is a description to screen readers, but setting one tells
    // them nothing: a reader that keeps what it was told would go on in
    // the language before.
    DescribeLimits(language, check);
    AnnounceDescriptions();
}

void TScreenReaderNames::NameFields(std::int32_t language) const
{
    // Each field is named by its label's caption, the spin arrows by what
    // they do to it; the hint, such as "0.4-13us", stays its description.
    for (const LabelledField& labelled : m_labelledFields) {
        const QString name = NameFromCaption(labelled.label->text());
        labelled.field->setAccessibleName(name);
        if (labelled.arrows) {
            labelled.arrows->setAccessibleName(name);
            labelled.arrows->SetArrowNames(SpokenText(Spoken::IncreaseArrow, language).arg(name),
                                           SpokenText(Spoken::DecreaseArrow, language).arg(name));
        }
    }
}

void TScreenReaderNames::NameKeys() const
{
    // Tooltips name the keys, with the caption in the current language.
    for (const TKeyedButton& entry : m_keyedButtons)
        ShowKeysInTooltip(entry.button, {entry.key});
    ShowKeysInTooltip(m_menuButton, {m_menuKeys[0], m_menuKeys[1]});
}

void TScreenReaderNames::DescribeLimits(std::int32_t language, const TLimitCheck& check) const
{
    // A limit past the neutral position says so in its description, after
    // its hint; back on its side, the hint alone.
    const auto describe = [language](QLineEdit* field, bool past, Spoken side) {
        const QString description = past ? SpokenText(side, language).arg(field->toolTip()) : QString();
        if (field->accessibleDescription() != description)
            field->setAccessibleDescription(description);
    };
    describe(m_lower, check.LowerRed, Spoken::AboveNeutral);
    describe(m_upper, check.UpperRed, Spoken::BelowNeutral);
}

void TScreenReaderNames::AnnounceDescriptions() const
{
    std::vector<QWidget*> described{m_menuButton};
    for (const LabelledField& labelled : m_labelledFields)
        described.push_back(labelled.field);
    for (const TKeyedButton& entry : m_keyedButtons)
        described.push_back(entry.button);
    for (QWidget* widget : described) {
        QAccessibleEvent changed(widget, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

}  // namespace rvz
