// SPDX-License-Identifier: GPL-3.0-or-later
// rivivev-uvezi-demo: the whole tool over the built-in simulated adapter,
// with its servo attached from the start.
#include "DemoPanel.h"
#include "Program.h"
#include "SimulatedAdapter.h"

int main(int argc, char** argv)
{
    rvz::SimulatedAdapter adapter(true);
    return rvz::RunProgram(argc, argv, adapter, [&adapter](QWidget& mainWindow) {
        auto* panel = new rvz::TDemoPanel(adapter, &mainWindow);
        panel->show();
    });
}
