// SPDX-License-Identifier: GPL-3.0-or-later
#include "DemoPanel.h"

#include <QCheckBox>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "SimulatedAdapter.h"

namespace rvz {

TDemoPanel::TDemoPanel(SimulatedAdapter& adapter, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("DemoPanel");
    setWindowTitle("Simulated hardware");
    auto* plugged = new QCheckBox("Adapter plugged in", this);
    plugged->setChecked(adapter.IsPluggedIn());
    auto* answers = new QCheckBox("Servo answers", this);
    answers->setChecked(true);
    auto* note = new QLabel("Demo only: no real adapter is used.", this);
    note->setStyleSheet("color: #555;");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(plugged);
    layout->addWidget(answers);
    layout->addWidget(note);

    connect(plugged, &QCheckBox::toggled, this, [&adapter](bool on) { on ? adapter.Plug() : adapter.Unplug(); });
    connect(answers, &QCheckBox::toggled, this, [&adapter](bool on) { adapter.SetServoSilent(!on); });
}

void TDemoPanel::showEvent(QShowEvent* event)
{
    // Beside the main window's right edge, so both can be seen at once.
    if (const QWidget* owner = parentWidget()) {
        QPoint place = owner->frameGeometry().topRight() + QPoint(8, 0);
        // On a narrow screen it goes below the main window instead.
        if (const QScreen* desktop = owner->screen(); desktop && place.x() + width() > desktop->availableGeometry().right())
            place = owner->frameGeometry().bottomLeft() + QPoint(0, 8);
        move(place);
    }
    QWidget::showEvent(event);
}

}  // namespace rvz
