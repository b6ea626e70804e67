// SPDX-License-Identifier: GPL-3.0-or-later
// The text decoders and the translated lookup: every byte is accounted for,
// and what cannot be decoded becomes U+FFFD.
#include <QString>

#include <string>

#include "FuzzInput.h"
#include "Strs.h"

using namespace rvz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::string key = input.String(32);
    const auto language = input.Integral<std::int32_t>();
    TranslateText(key, language);
    const auto rest = input.Rest();
    const std::string bytes(rest.begin(), rest.end());

    // A Big5 or GBK character takes one or two bytes: no two bytes vanish,
    // not even an incomplete sequence at the end.
    for (TextEncoding encoding : {TextEncoding::Big5, TextEncoding::Gbk}) {
        const QString text = DecodeText(bytes, encoding);
        RVZ_FUZZ_REQUIRE(static_cast<std::size_t>(text.size()) >= (bytes.size() + 1) / 2);
    }
    const QString ascii = DecodeText(bytes, TextEncoding::Ascii);
    RVZ_FUZZ_REQUIRE(ascii.size() == static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool plain = static_cast<unsigned char>(bytes[i]) < 0x80;
        RVZ_FUZZ_REQUIRE(ascii[static_cast<qsizetype>(i)] ==
                         (plain ? QChar(bytes[i]) : QChar(QChar::ReplacementCharacter)));
    }
    return 0;
}
