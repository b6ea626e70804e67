// SPDX-License-Identifier: GPL-3.0-or-later
#include "DoubleByteText.h"

#include <QStringDecoder>

#include <string>

namespace rvz {

QString DecodeDoubleByte(std::string_view bytes, DoubleByteCode code)
{
    // The decoder keeps an incomplete sequence at the end for input that
    // never comes. A line feed after the bytes, which no Big5 or GBK
    // sequence may contain, makes it give that sequence up as undecodable;
    // the line feed itself is then taken off again.
    QStringDecoder decoder(code == DoubleByteCode::Big5 ? "Big5" : "GBK");
    std::string terminated(bytes);
    terminated += '\n';
    QString text = decoder(QByteArrayView(terminated.data(), static_cast<qsizetype>(terminated.size())));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

}  // namespace rvz
