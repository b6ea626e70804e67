// SPDX-License-Identifier: GPL-3.0-or-later
// The user's decimal separator on Windows: the one chosen in the region
// settings. The C runtime's locales do not follow those settings.
#include <windows.h>

#include "NumberText.h"

namespace rvz {

char UserDecimalSeparator()
{
    wchar_t separator[8]{};
    const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    // The fields take one ASCII character; anything longer or wider is
    // read as the point.
    if (length == 2 && separator[0] > 0x20 && separator[0] < 0x7F)
        return static_cast<char>(separator[0]);
    return '.';
}

}  // namespace rvz
