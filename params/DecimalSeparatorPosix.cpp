// SPDX-License-Identifier: GPL-3.0-or-later
// The user's decimal separator on POSIX systems: the locale the environment names.
#include <locale>
#include <stdexcept>

#include "NumberText.h"

namespace rvz {

char UserDecimalSeparator()
{
    try {
        return std::use_facet<std::numpunct<char>>(std::locale("")).decimal_point();
    } catch (const std::runtime_error&) {
        return '.';  // the environment names a locale this system lacks
    }
}

}  // namespace rvz
