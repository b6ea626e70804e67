// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Unit Strs: every text that changes with the language, looked up by key.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

class QString;

namespace rvz {

// Language index: a column of the table.
inline constexpr std::int32_t kTraditionalChinese = 0;
inline constexpr std::int32_t kSimplifiedChinese = 1;
inline constexpr std::int32_t kEnglish = 2;
inline constexpr std::size_t kLanguageCount = 3;

struct TTranslationRow {
    const char* Key;
    std::array<const char*, kLanguageCount> Texts;  // byte strings, NUL-terminated
};

extern const std::array<TTranslationRow, 31> TranslationTable;

enum class TextEncoding { Big5, Gbk, Ascii };

// A cell made of pieces in different encodings, with each piece's byte length.
struct TMixedCell {
    const char* Key;
    std::size_t Column;
    std::array<std::pair<TextEncoding, std::size_t>, 3> Pieces;  // unused pieces have length 0
};
extern const std::array<TMixedCell, 4> kMixedCells;

// The encoding of a column's texts.
TextEncoding ColumnEncoding(std::size_t column);

// The column that a language index reads. Every index other than 0 and 1
// reads English, the same choice that the language menu's check mark makes,
// so a stray index from the preferences file never reads past the table.
std::size_t LanguageColumn(std::int32_t language);

// The stored bytes of the first row whose key equals key (case-sensitive,
// whole key), in the language's column; the empty text when no row matches.
std::string Translate(std::string_view key, std::int32_t language);

// The same text decoded for the screen: each piece from its own encoding.
QString TranslateText(std::string_view key, std::int32_t language);

// Decodes bytes of one encoding; undecodable bytes become U+FFFD.
QString DecodeText(std::string_view bytes, TextEncoding encoding);

}  // namespace rvz
