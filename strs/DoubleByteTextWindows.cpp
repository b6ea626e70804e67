// SPDX-License-Identifier: GPL-3.0-or-later
#include "DoubleByteText.h"

#include <windows.h>

namespace rvz {

namespace {

// One character, a single byte or a lead byte and its trail, decoded alone;
// false when the code page has no character for it.
bool AppendCharacter(QString& text, UINT codePage, std::string_view character)
{
    wchar_t wide[2];
    const int length = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, character.data(),
                                             static_cast<int>(character.size()), wide, 2);
    if (length <= 0)
        return false;
    text += QString::fromWCharArray(wide, length);
    return true;
}

}  // namespace

QString DecodeDoubleByte(std::string_view bytes, DoubleByteCode code)
{
    const UINT codePage = code == DoubleByteCode::Big5 ? 950 : 936;
    QString text;
    while (!bytes.empty()) {
        const bool lead = ::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes.front())) != 0;
        const std::size_t size = lead ? 2 : 1;
        if (bytes.size() >= size && AppendCharacter(text, codePage, bytes.substr(0, size))) {
            bytes.remove_prefix(size);
            continue;
        }
        // Undecodable: the lead byte alone is given up, so that a trail
        // byte which is a character of its own (ASCII, say) is kept.
        text += QChar(QChar::ReplacementCharacter);
        bytes.remove_prefix(1);
    }
    return text;
}

}  // namespace rvz
