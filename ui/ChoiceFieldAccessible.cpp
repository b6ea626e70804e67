// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChoiceFieldAccessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

namespace rvz {

namespace {

constexpr const char* kSpokenProperty = "rvzSpokenChoice";

// Read-only text of the choice shown; the open list stays the box's child,
// and pressing the box opens it, as with Qt's own.
class TChoiceFieldAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TChoiceFieldAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox)
    {
        addControllingSignal(QLatin1String("activated(int)"));
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(Box().view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == Box().view() ? 0 : -1;
    }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Value ? Box().currentText() : QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override
    {
        if (name == showMenuAction() || name == pressAction())
            Box().showPopup();
        else
            QAccessibleWidget::doAction(name);
    }

    // --- text: the choice shown, read only
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return Box().currentText().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(Box().currentText().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QComboBox& Box() const { return *static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* ChoiceFieldAccessible(const QString& className, QObject* object)
{
    auto* box = className == QLatin1String("QComboBox") ? qobject_cast<QComboBox*>(object) : nullptr;
    return box && box->property(kSpokenProperty).toBool() ? new TChoiceFieldAccessible(box) : nullptr;
}

}  // namespace

void SpeakChoice(QComboBox* box)
{
    static const bool installed = (QAccessible::installFactory(ChoiceFieldAccessible), true);
    Q_UNUSED(installed);
    box->setProperty(kSpokenProperty, true);
    // Qt moves the list's selection only while the list is open.
    const auto selectInList = [box](int index) {
        // Made current as well as selected: Orca reads the new choice only
        // so, though the closed list's item then reports the focus too.
        box->view()->selectionModel()->setCurrentIndex(box->model()->index(index, 0),
                                                       QItemSelectionModel::ClearAndSelect);
    };
    QObject::connect(box, &QComboBox::currentIndexChanged, box, selectInList);
    selectInList(box->currentIndex());
}

}  // namespace rvz
