// SPDX-License-Identifier: GPL-3.0-or-later
#include "SpokenTexts.h"

#include <array>

#include "Strs.h"

namespace rvz {

namespace {

// UTF-8, by language column: Traditional Chinese, Simplified Chinese, English.
constexpr std::array<std::array<const char*, kLanguageCount>, 5> kSpokenTexts{{
    {"增大%1", "增大%1", "Increase %1"},
    {"減小%1", "减小%1", "Decrease %1"},
    {"數位舵機圖片", "数字舵机图片", "Picture of a digital servo"},
    {"%1（高於中點位置）", "%1（高于中点位置）", "%1 (above the neutral position)"},
    {"%1（低於中點位置）", "%1（低于中点位置）", "%1 (below the neutral position)"},
}};

}  // namespace

QString SpokenText(Spoken text, std::int32_t language)
{
    return QString::fromUtf8(kSpokenTexts[static_cast<std::size_t>(text)][LanguageColumn(language)]);
}

QString NameFromCaption(const QString& caption)
{
    QString name = caption.trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0xFF1A)))
        name.chop(1);
    return name.trimmed();
}

}  // namespace rvz
