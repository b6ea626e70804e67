// SPDX-License-Identifier: GPL-3.0-or-later
// The translation table: stored bytes, decoded characters and the lookup.
#include <gtest/gtest.h>

#include <QString>

#include "Strs.h"

namespace rvz {
namespace {

struct RowText {
    const char* key;
    const char* traditional;  // as characters, UTF-8
    const char* simplified;
    const char* english;
};

// Every row, in table order, as the user must read it.
const RowText kExpected[] = {
    {"Info", "提示", "提示", "Infomation"},
    {"Warn", "警告", "警告", "Warning"},
    {"Succeed", "成功！", "成功！", "Succeed!"},
    {"Fault", "出錯！", "出错！", "Fault!"},
    {"OkBtn", "確定", "确定", "Ok"},
    {"ServoForm", "Rivivev Uvezi", "Rivivev Uvezi", "Rivivev Uvezi"},
    {"OpenBtn", "打開配置", "打开配置", "Open Config"},
    {"SaveBtn", "保存配置", "保存配置", "Save Config"},
    {"LanguageBtn", "語言/Language", "语言/Language", "Language"},
    {"pChineseTW", "繁體中文", "繁體中文/繁體中文", "Chinese/繁體中文"},
    {"pChinese", "簡體中文/简体中文", "简体中文", "Chinese/简体中文"},
    {"pEnglish", "英語/English", "英语/English", "English"},
    {"BankSelLabel", "塊號:", "块号:", "Bank Sel:"},
    {"DBLabel", "死區：", "死区:", "Dead Band:"},
    {"BTLabel", "步長：", "步长:", "Boost:"},
    {"STLabel", "增益：", "增益:", "Stretcher:"},
    {"RSTLabel", "鎖舵：", "锁舵:", "Lock:"},
    {"FqLabel", "頻率：", "频率:", "Fq:"},
    {"MDLabel", "占空比：", "占空比:", "Max. Duty:"},
    {"SRULabel", "脈衝上限：", "脉冲上限:", "Pulse Upper:"},
    {"SRLLabel", "脈衝下限：", "脉冲下限:", "Pulse Lower:"},
    {"NeuLabel", "中點位置：", "中点位置:", "Neutral:"},
    {"NeuILabel", "中點信號：", "中点信号:", "Signal:"},
    {"MDACheck", "最大占空比A", "最大占空比A", "MD100%A"},
    {"MDBCheck", "最大占空比B", "最大占空比B", "MD100%B"},
    {"ReadBtn", "讀配置", "读配置", "Read Config"},
    {"WriteBtn", "寫配置", "写配置", "Write Config"},
    {"InitBtn", "初始化", "初始化", "Initialize"},
    {"ConnLabel", "設備已連接", "设备已连接", "Connected"},
    {"UnConnLabel", "設備未連接", "设备未连接", "Unconnect"},
    {"Mismatch", "配置卡與該軟體不匹配，請與供應商聯繫。", "配置卡与该软件不匹配，请与供应商联系。",
     "Usb adapter is not compatible with the software, please contact supplier for support."},
};

std::string Hex(const std::string& bytes)
{
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        out += buf;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

TEST(TranslationTableTest, RowsInOrderDecodeToTheirCharacters)
{
    ASSERT_EQ(TranslationTable.size(), std::size(kExpected));
    for (std::size_t i = 0; i < TranslationTable.size(); ++i) {
        const RowText& row = kExpected[i];
        ASSERT_STREQ(TranslationTable[i].Key, row.key) << "row " << i + 1;
        EXPECT_EQ(TranslateText(row.key, 0), QString::fromUtf8(row.traditional)) << row.key;
        EXPECT_EQ(TranslateText(row.key, 1), QString::fromUtf8(row.simplified)) << row.key;
        EXPECT_EQ(TranslateText(row.key, 2), QString::fromUtf8(row.english)) << row.key;
    }
}

TEST(TranslationTableTest, PlainCellsAreTheirColumnsEncoding)
{
    for (const TTranslationRow& row : TranslationTable) {
        for (std::size_t column = 0; column < 3; ++column) {
            if (std::string_view(row.Key).starts_with("pChinese") && column != (row.Key[8] == 'T' ? 0u : 1u))
                continue;  // the mixed cells, checked byte by byte below
            const std::string bytes = row.Texts[column];
            EXPECT_FALSE(bytes.empty());
            const QString decoded = DecodeText(bytes, ColumnEncoding(column));
            EXPECT_FALSE(decoded.contains(QChar::ReplacementCharacter)) << row.Key << " column " << column;
        }
    }
}

// What cannot be decoded becomes U+FFFD, also a sequence cut off at the end.
TEST(DecodeTextTest, UndecodableBytesBecomeReplacementCharacters)
{
    const QString replacement(QChar::ReplacementCharacter);
    EXPECT_EQ(DecodeText("A\xC1", TextEncoding::Big5), "A" + replacement);
    EXPECT_EQ(DecodeText("A\xB7", TextEncoding::Gbk), "A" + replacement);
    // A lead byte before a byte that cannot trail it: the byte after it is kept.
    EXPECT_EQ(DecodeText("\xC1 B", TextEncoding::Big5), replacement + " B");
    EXPECT_EQ(DecodeText("A\x80\xFF", TextEncoding::Ascii), "A" + replacement + replacement);
    EXPECT_EQ(DecodeText("Ok", TextEncoding::Ascii), "Ok");
}

TEST(TranslationTableTest, MixedMenuCellsHoldExactBytes)
{
    EXPECT_EQ(Hex(Translate("pChineseTW", 1)), "B7 B1 F3 77 D6 D0 CE C4 2F C1 63 C5 E9 A4 A4 A4 E5");
    EXPECT_EQ(Hex(Translate("pChineseTW", 2)), "43 68 69 6E 65 73 65 2F C1 63 C5 E9 A4 A4 A4 E5");
    EXPECT_EQ(Hex(Translate("pChinese", 0)), "C2 B2 C5 E9 A4 A4 A4 E5 2F BC F2 CC E5 D6 D0 CE C4");
    EXPECT_EQ(Hex(Translate("pChinese", 2)), "43 68 69 6E 65 73 65 2F BC F2 CC E5 D6 D0 CE C4");
    EXPECT_EQ(Hex(Translate("pChineseTW", 0)), "C1 63 C5 E9 A4 A4 A4 E5");
    EXPECT_EQ(Hex(Translate("pChinese", 1)), "BC F2 CC E5 D6 D0 CE C4");
}

TEST(TranslationTableTest, PunctuationBytes)
{
    EXPECT_EQ(Hex(Translate("DBLabel", 0)).substr(12), "A1 47") << "full-width colon in Big5";
    EXPECT_EQ(Translate("BankSelLabel", 0).back(), ':');
    EXPECT_EQ(Translate("DBLabel", 1).back(), ':');
    EXPECT_EQ(Hex(Translate("Succeed", 0)).substr(12), "A1 49");
    EXPECT_EQ(Hex(Translate("Succeed", 1)).substr(12), "A3 A1");
}

TEST(TranslateTest, KeysAreWholeAndCaseSensitive)
{
    EXPECT_EQ(Translate("Info", 2), "Infomation");
    EXPECT_EQ(Translate("info", 2), "");
    EXPECT_EQ(Translate("Image1", 0), "");
    EXPECT_EQ(Translate("", 2), "");
    EXPECT_EQ(Translate("Info ", 2), "");
    EXPECT_EQ(Translate("Inf", 2), "");
}

TEST(TranslateTest, LanguageOutsideTheColumnsReadsEnglish)
{
    for (std::int32_t language : {3, -1, 1000, INT32_MIN})
        EXPECT_EQ(Translate("OkBtn", language), "Ok");
}

}  // namespace
}  // namespace rvz
