// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small panel beside the demo's main window that plays the user's hands on
// the simulated hardware: pull the adapter out, silence the servo.

#include <QWidget>

namespace rvz {

class SimulatedAdapter;

class TDemoPanel : public QWidget {
    Q_OBJECT
public:
    TDemoPanel(SimulatedAdapter& adapter, QWidget* mainWindow);

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace rvz
