// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The standard error box: the application title as its caption, an error
// icon, the message and an OK button.

#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace rvz {

// Names the application "Rivivev Uvezi": the error box's caption.
void SetApplicationTitle();

void ShowErrorBox(QWidget* parent, const QString& message);

// Runs one event's work; an error it raises is shown in the error box and
// ends only that event.
template <typename Work>
void RunGuarded(QWidget* parent, Work&& work)
{
    try {
        std::forward<Work>(work)();
    } catch (const std::exception& error) {
        ShowErrorBox(parent, QString::fromUtf8(error.what()));  // messages are UTF-8
    }
}

}  // namespace rvz
