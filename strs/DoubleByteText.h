// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decoding the table's Chinese texts, one implementation per platform:
// through ICU on Linux, through the system's code pages 950 and 936 on
// Windows, which are what Big5 and GBK texts were written in there.

#include <QString>

#include <string_view>

namespace rvz {

enum class DoubleByteCode { Big5, Gbk };

// Every byte sequence that cannot be decoded, one cut off at the end
// included, becomes one U+FFFD.
QString DecodeDoubleByte(std::string_view bytes, DoubleByteCode code);

}  // namespace rvz
