// SPDX-License-Identifier: GPL-3.0-or-later
#include "StaticText.h"

#include <QMouseEvent>

namespace rvz {

TStaticText::TStaticText(const QString& text, int tag, QWidget* parent) : QLabel(text, parent), m_tag(tag)
{
    setCursor(Qt::PointingHandCursor);
}

void TStaticText::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked(m_tag);
    QLabel::mousePressEvent(event);
}

}  // namespace rvz
