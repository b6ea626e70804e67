// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorBox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace rvz {

void SetApplicationTitle() { QCoreApplication::setApplicationName(QStringLiteral("Rivivev Uvezi")); }

void ShowErrorBox(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), message, QMessageBox::Ok, parent);
    box.setObjectName("ErrorBox");
    box.exec();
}

}  // namespace rvz
