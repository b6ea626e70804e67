// SPDX-License-Identifier: GPL-3.0-or-later
#include "Strs.h"

#include <QString>

#include <algorithm>

#include "DoubleByteText.h"

namespace rvz {

namespace {

const TTranslationRow* FindRow(std::string_view key)
{
    for (const TTranslationRow& row : TranslationTable)
        if (key == row.Key)
            return &row;
    return nullptr;
}

const TMixedCell* FindMixedCell(std::string_view key, std::size_t column)
{
    for (const TMixedCell& cell : kMixedCells)
        if (key == cell.Key && column == cell.Column)
            return &cell;
    return nullptr;
}

}  // namespace

TextEncoding ColumnEncoding(std::size_t column)
{
    static constexpr std::array<TextEncoding, kLanguageCount> kEncodings{TextEncoding::Big5, TextEncoding::Gbk,
                                                                         TextEncoding::Ascii};
    return kEncodings.at(column);
}

std::size_t LanguageColumn(std::int32_t language)
{
    if (language == kTraditionalChinese || language == kSimplifiedChinese)
        return static_cast<std::size_t>(language);
    return kEnglish;
}

std::string Translate(std::string_view key, std::int32_t language)
{
    const TTranslationRow* row = FindRow(key);
    return row ? std::string(row->Texts[LanguageColumn(language)]) : std::string();
}

QString DecodeText(std::string_view bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Ascii) {
        QString text;
        text.reserve(static_cast<qsizetype>(bytes.size()));
        for (const char byte : bytes)
            text += static_cast<unsigned char>(byte) < 0x80 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
        return text;
    }
    return DecodeDoubleByte(bytes, encoding == TextEncoding::Big5 ? DoubleByteCode::Big5 : DoubleByteCode::Gbk);
}

QString TranslateText(std::string_view key, std::int32_t language)
{
    const std::size_t column = LanguageColumn(language);
    const std::string bytes = Translate(key, language);
    const TMixedCell* mixed = FindMixedCell(key, column);
    if (!mixed)
        return DecodeText(bytes, ColumnEncoding(column));

    QString text;
    std::string_view rest = bytes;
    for (const auto& [encoding, length] : mixed->Pieces) {
        const std::size_t take = std::min(length, rest.size());
        text += DecodeText(rest.substr(0, take), encoding);
        rest.remove_prefix(take);
    }
    return text;
}

}  // namespace rvz
