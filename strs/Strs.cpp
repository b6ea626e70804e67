#include "Strs.h"

#include <QString>
#include <QStringDecoder>

#include <algorithm>

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

const char* DecoderName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Big5:
        return "Big5";
    case TextEncoding::Gbk:
        return "GBK";
    case TextEncoding::Ascii:
        break;
    }
    return "US-ASCII";
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
    // The decoder keeps an incomplete sequence at the end for input that
    // never comes. A line feed after the bytes, which no Big5 or GBK
    // sequence may contain, makes it give that sequence up as undecodable;
    // the line feed itself is then taken off again.
    QStringDecoder decoder(DecoderName(encoding));
    std::string terminated(bytes);
    terminated += '\n';
    QString text = decoder(QByteArrayView(terminated.data(), static_cast<qsizetype>(terminated.size())));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
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
