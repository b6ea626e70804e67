// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The busy pointer, shown while the window works on the user-interface thread
// and takes no input: from its construction until End() or its end.

#include <QGuiApplication>

namespace rvz {

class TBusyPointer {
public:
    TBusyPointer() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyPointer() { End(); }
    TBusyPointer(const TBusyPointer&) = delete;
    TBusyPointer& operator=(const TBusyPointer&) = delete;

    void End()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
        m_shown = false;
    }

private:
    bool m_shown = true;
};

}  // namespace rvz
