// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageSwitch.h"

#include <QAction>
#include <QMetaProperty>
#include <QObject>
#include <QString>

#include "QtTexts.h"
#include "Reg.h"
#include "Strs.h"

namespace rvz {

namespace {

// Every captioned component of the window (labels, buttons, tool buttons,
// menu items) publishes its caption as the property "text".
constexpr const char* kCaptionProperty = "text";

void SetCaptionByName(QObject& component, const QString& caption)
{
    const QMetaObject* meta = component.metaObject();
    const int index = meta->indexOfProperty(kCaptionProperty);
    // A component without a writable caption keeps what it has rather than
    // growing a dynamic property nobody shows.
    if (index >= 0 && meta->property(index).isWritable())
        meta->property(index).write(&component, caption);
}

}  // namespace

void SetLanguage(TLanguageWindow& window, std::int32_t language)
{
    // Qt's own texts (file dialogs, standard buttons) follow the window's.
    InstallQtTexts(language);

    if (QAction* item = window.LanguageItem(static_cast<int>(LanguageColumn(language))))
        item->setChecked(true);

    window.SetCaption(TranslateText("ServoForm", language));

    // The count is read again before each step, as the list may change.
    for (int i = 0; i < window.ComponentCount(); ++i) {
        QObject* component = window.Component(i);
        if (!component)
            continue;
        const std::string name = component->objectName().toStdString();
        if (Translate(name, language).empty())
            continue;
        SetCaptionByName(*component, TranslateText(name, language));
    }
    window.CaptionsApplied();
}

void PickLanguage(TLanguageWindow& window, TPreferences& preferences, std::int32_t tag)
{
    if (tag == preferences.Language)
        return;
    preferences.Language = tag;
    preferences.Changed = true;
    SetLanguage(window, tag);
}

}  // namespace rvz
