// SPDX-License-Identifier: GPL-3.0-or-later
#include "Program.h"

#include <QApplication>

#include "Comm.h"
#include "ErrorBox.h"
#include "FileDialogs.h"
#include "Main.h"
#include "Msgex.h"
#include "Reg.h"
#include "ScreenFont.h"

namespace rvz {

namespace {

void RunWindows(UsbBridge& bridge, const std::function<void(QWidget&)>& extras)
{
    TComm comm(bridge);
    TQtFileDialogRunner fileDialogs;
    // The main window is created first, so it is the application's main
    // window: closing it ends the program.
    TServoForm servoForm({comm, Preferences, PreferencesPath(), fileDialogs});
    TMsgExForm msgExForm(&servoForm);
    servoForm.SetResultDialog(&msgExForm);
    servoForm.show();
    if (extras)
        extras(servoForm);
    QApplication::exec();
}

}  // namespace

int RunProgram(int argc, char** argv, UsbBridge& bridge, const std::function<void(QWidget&)>& extras)
{
    QApplication application(argc, argv);
    SetApplicationTitle();
    ChooseScreenFont();
    try {
        RunWindows(bridge, extras);
    } catch (const std::exception& error) {
        // Messages are built in UTF-8 on every platform.
        ShowErrorBox(nullptr, QString::fromUtf8(error.what()));
    } catch (...) {
        ShowErrorBox(nullptr, QString());
    }
    return 0;
}

}  // namespace rvz
