// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A clickable static text, told apart from its siblings by its Tag.

#include <QLabel>

namespace rvz {

class TStaticText : public QLabel {
    Q_OBJECT
public:
    TStaticText(const QString& text, int tag, QWidget* parent);
    int Tag() const { return m_tag; }

signals:
    void clicked(int tag);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    int m_tag;
};

}  // namespace rvz
