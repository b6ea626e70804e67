// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdapterProgram.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include "ErrorBox.h"
#include "Program.h"
#include "SiUsbXpBridge.h"
#include "SiUsbXpLibrary.h"
#include "SiUsbXpLoadReport.h"

namespace rvz {

namespace {

QString LibraryMessage(const LibraryFinding& library)
{
    QString finding = QString::fromUtf8(library.finding);
    if (!finding.isEmpty())
        finding[0] = finding[0].toUpper();
    return finding + ".\n\n" + QString::fromUtf8(library.advice) +
           "\n\nUntil then Read Config, Write Config and Initialize stay disabled.";
}

}  // namespace

int RunAdapterProgram(int argc, char** argv, const std::wstring& libraryFile,
                      const std::function<void(QWidget&)>& extras)
{
    SiUsbXpLibrary library(libraryFile);
    SiUsbXpBridge adapter(library.Functions());
    const LibraryFinding finding = DescribeLibraryLoad(library.Load(), "rivivev-uvezi.exe");
    return RunProgram(argc, argv, adapter, [&](QWidget& mainWindow) {
        if (!finding.usable) {
            // Once the event loop runs, so the box stands over the window.
            QTimer::singleShot(0, &mainWindow,
                               [&mainWindow, message = LibraryMessage(finding)] { ShowErrorBox(&mainWindow, message); });
        }
        if (extras)
            extras(mainWindow);
    });
}

}  // namespace rvz
