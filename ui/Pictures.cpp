// SPDX-License-Identifier: GPL-3.0-or-later
#include "Pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace rvz {

namespace {

const QColor kDarkBlue(0, 0, 128);

// A pixmap of the given logical size holding scale device pixels for each
// logical one; a painter on it draws in logical coordinates, so the same
// drawing serves every scale and at 1 gives exactly the designed bitmap.
QPixmap Canvas(int width, int height, int scale, const QColor& fill)
{
    QPixmap pixmap(width * scale, height * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(fill);
    return pixmap;
}

}  // namespace

QPixmap DrawWarningIcon(int scale)
{
    QPixmap pixmap = Canvas(32, 32, scale, Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    const QPolygonF shadow({QPointF(17, 4), QPointF(31, 29), QPointF(4, 29)});
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(128, 128, 128, 160));
    p.drawPolygon(shadow.translated(1.5, 1.5));

    const QPolygonF triangle({QPointF(16, 2), QPointF(30, 28), QPointF(2, 28)});
    QLinearGradient fill(0, 2, 0, 28);
    fill.setColorAt(0, QColor(255, 240, 90));
    fill.setColorAt(1, QColor(240, 200, 0));
    p.setBrush(fill);
    p.setPen(QPen(QColor(150, 110, 0), 1.2));
    p.drawPolygon(triangle);

    p.setPen(Qt::NoPen);
    p.setBrush(kDarkBlue);
    p.drawRoundedRect(QRectF(14.3, 9, 3.4, 11), 1.5, 1.5);
    p.drawEllipse(QRectF(14.2, 22, 3.6, 3.6));
    return pixmap;
}

QPixmap DrawInformationIcon(int scale)
{
    QPixmap pixmap = Canvas(32, 32, scale, Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath bubble;
    bubble.addEllipse(QRectF(2, 2, 28, 22));
    QPainterPath tail;
    tail.moveTo(9, 19);
    tail.lineTo(7, 31);
    tail.lineTo(17, 22);
    tail.closeSubpath();
    bubble = bubble.united(tail);

    QRadialGradient shade(QPointF(12, 8), 24);
    shade.setColorAt(0, Qt::white);
    shade.setColorAt(0.55, QColor(235, 243, 255));
    shade.setColorAt(1, QColor(170, 200, 240));
    p.setBrush(shade);
    p.setPen(QPen(QColor(90, 120, 180), 1.1));
    p.drawPath(bubble);

    p.setPen(Qt::NoPen);
    p.setBrush(kDarkBlue);
    p.drawEllipse(QRectF(14.2, 5.5, 3.6, 3.6));
    p.drawRoundedRect(QRectF(14.4, 10.5, 3.2, 9.5), 1, 1);
    p.drawRect(QRectF(12.5, 19, 7, 1.8));
    return pixmap;
}

QPixmap DrawServoPicture(int scale)
{
    QPixmap pixmap = Canvas(150, 107, scale, QColor(222, 222, 222));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // Wire leaving the case.
    p.setPen(QPen(QColor(60, 60, 60), 3));
    p.drawLine(QPointF(128, 70), QPointF(146, 88));
    p.setPen(QPen(QColor(200, 40, 40), 3));
    p.drawLine(QPointF(128, 74), QPointF(144, 92));
    p.setPen(QPen(QColor(230, 160, 30), 3));
    p.drawLine(QPointF(128, 78), QPointF(142, 96));

    // Case with its mounting ears.
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor(45, 45, 50));
    p.drawRoundedRect(QRectF(4, 40, 142, 12), 3, 3);
    QLinearGradient body(0, 22, 0, 100);
    body.setColorAt(0, QColor(80, 80, 90));
    body.setColorAt(1, QColor(30, 30, 35));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(20, 22, 110, 80), 6, 6);

    // Output shaft and horn.
    p.setBrush(QColor(245, 245, 245));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    QPainterPath horn;
    horn.addRoundedRect(QRectF(28, 8, 60, 14), 7, 7);
    p.drawPath(horn);
    p.setBrush(QColor(200, 200, 205));
    p.drawEllipse(QPointF(48, 15), 9, 9);
    p.setBrush(QColor(120, 120, 125));
    p.drawEllipse(QPointF(48, 15), 3.5, 3.5);
    for (int hole = 0; hole < 3; ++hole)
        p.drawEllipse(QPointF(63 + hole * 8, 15), 1.6, 1.6);

    // Label.
    p.setPen(QColor(230, 230, 230));
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(20, 60, 110, 16), Qt::AlignCenter, "DIGITAL");
    p.setPen(QColor(90, 170, 255));
    p.drawText(QRectF(20, 76, 110, 16), Qt::AlignCenter, "SERVO");
    return pixmap;
}

int PictureScale(qreal devicePixelRatio)
{
    // Whole device pixels per logical one, so that lines stay on the grid; a
    // ratio between two is drawn at the next one up and smoothed down.
    return std::clamp(static_cast<int>(std::ceil(devicePixelRatio - 0.01)), 1, kMaxPictureScale);
}

}  // namespace rvz
