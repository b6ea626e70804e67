// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenFont.h"

#include <windows.h>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>

namespace rvz {

namespace {

// Wine's ntdll exports wine_get_version; Windows' never does.
bool RunningUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace

void ChooseScreenFont()
{
    if (!RunningUnderWine())
        return;
    QFont font = QApplication::font();
    const QString shown = QFontInfo(font).family();
    // Tahoma is what the dialog font stands for; the others are the plain
    // sans fonts a Linux machine most likely has.
    const QStringList families = QFontDatabase::families();
    for (const char* family : {"Tahoma", "DejaVu Sans", "Liberation Sans", "Noto Sans", "Arial"}) {
        if (!families.contains(QLatin1String(family)))
            continue;
        if (shown != QLatin1String(family)) {
            font.setFamily(QLatin1String(family));
            QApplication::setFont(font);
        }
        return;
    }
}

}  // namespace rvz
