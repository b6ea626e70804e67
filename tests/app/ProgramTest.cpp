// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: the whole program runs and ends with exit code 0.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <filesystem>

#include "Program.h"
#include "Reg.h"
#include "SimulatedAdapter.h"

namespace rvz {
namespace {

TEST(ProgramTest, RunsPollsAndEndsWithZero)
{
    SimulatedAdapter adapter(true);
    std::filesystem::remove(PreferencesPath());
    char name[] = "program_test";
    char* argv[] = {name, nullptr};
    QString title;
    bool identifiedOnce = false;
    bool openWhileRunning = false;
    const int exitCode = RunProgram(1, argv, adapter, [&](QWidget& mainWindow) {
        QTimer::singleShot(400, &mainWindow, [&] {
            title = QCoreApplication::applicationName();
            identifiedOnce = adapter.ReceivedCommands().size() == 1;
            openWhileRunning = adapter.HasOpenSession();
            mainWindow.close();
        });
    });
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(title, QString("Rivivev Uvezi"));
    EXPECT_TRUE(identifiedOnce);
    EXPECT_TRUE(openWhileRunning);
    EXPECT_FALSE(adapter.HasOpenSession()) << "closing the window closes the adapter";
    EXPECT_FALSE(std::filesystem::exists(PreferencesPath())) << "no language was picked";
}

}  // namespace
}  // namespace rvz
