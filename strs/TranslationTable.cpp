// SPDX-License-Identifier: GPL-3.0-or-later
// The translation table. Each text is stored as the bytes of its column's
// encoding: Big5 for Traditional Chinese, GBK for Simplified Chinese, ASCII
// for English. The two language-menu rows join pieces in two encodings so
// that each Chinese item names its language in that language's own encoding;
// kMixedCells below says where those pieces lie.
#include "Strs.h"

namespace rvz {

const std::array<TTranslationRow, 31> TranslationTable{{
    // "提示" | "提示" | "Infomation"
    {"Info", {"\xB4\xA3\xA5\xDC", "\xCC\xE1\xCA\xBE", "Infomation"}},
    // "警告" | "警告" | "Warning"
    {"Warn", {"\xC4\xB5\xA7\x69", "\xBE\xAF\xB8\xE6", "Warning"}},
    // "成功！" | "成功！" | "Succeed!"
    {"Succeed", {"\xA6\xA8\xA5\x5C\xA1\x49", "\xB3\xC9\xB9\xA6\xA3\xA1", "Succeed!"}},
    // "出錯！" | "出错！" | "Fault!"
    {"Fault", {"\xA5\x58\xBF\xF9\xA1\x49", "\xB3\xF6\xB4\xED\xA3\xA1", "Fault!"}},
    // "確定" | "确定" | "Ok"
    {"OkBtn", {"\xBD\x54\xA9\x77", "\xC8\xB7\xB6\xA8", "Ok"}},
    // "Rivivev Uvezi" | "Rivivev Uvezi" | "Rivivev Uvezi"
    {"ServoForm", {"Rivivev Uvezi", "Rivivev Uvezi", "Rivivev Uvezi"}},
    // "打開配置" | "打开配置" | "Open Config"
    {"OpenBtn", {"\xA5\xB4\xB6\x7D\xB0\x74\xB8\x6D", "\xB4\xF2\xBF\xAA\xC5\xE4\xD6\xC3", "Open Config"}},
    // "保存配置" | "保存配置" | "Save Config"
    {"SaveBtn", {"\xAB\x4F\xA6\x73\xB0\x74\xB8\x6D", "\xB1\xA3\xB4\xE6\xC5\xE4\xD6\xC3", "Save Config"}},
    // "語言/Language" | "语言/Language" | "Language"
    {"LanguageBtn", {"\xBB\x79\xA8\xA5/Language", "\xD3\xEF\xD1\xD4/Language", "Language"}},
    // "繁體中文" | GBK "繁體中文"+"/"+BIG5 "繁體中文" | "Chinese/"+BIG5 "繁體中文"
    {"pChineseTW", {"\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5", "\xB7\xB1\xF3\x77\xD6\xD0\xCE\xC4/\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5", "Chinese/\xC1\x63\xC5\xE9\xA4\xA4\xA4\xE5"}},
    // BIG5 "簡體中文"+"/"+GBK "简体中文" | "简体中文" | "Chinese/"+GBK "简体中文"
    {"pChinese", {"\xC2\xB2\xC5\xE9\xA4\xA4\xA4\xE5/\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4", "\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4", "Chinese/\xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4"}},
    // "英語/English" | "英语/English" | "English"
    {"pEnglish", {"\xAD\x5E\xBB\x79/English", "\xD3\xA2\xD3\xEF/English", "English"}},
    // "塊號:" | "块号:" | "Bank Sel:"
    {"BankSelLabel", {"\xB6\xF4\xB8\xB9:", "\xBF\xE9\xBA\xC5:", "Bank Sel:"}},
    // "死區：" | "死区:" | "Dead Band:"
    {"DBLabel", {"\xA6\xBA\xB0\xCF\xA1\x47", "\xCB\xC0\xC7\xF8:", "Dead Band:"}},
    // "步長：" | "步长:" | "Boost:"
    {"BTLabel", {"\xA8\x42\xAA\xF8\xA1\x47", "\xB2\xBD\xB3\xA4:", "Boost:"}},
    // "增益：" | "增益:" | "Stretcher:"
    {"STLabel", {"\xBC\x57\xAF\x71\xA1\x47", "\xD4\xF6\xD2\xE6:", "Stretcher:"}},
    // "鎖舵：" | "锁舵:" | "Lock:"
    {"RSTLabel", {"\xC2\xEA\xB2\xEB\xA1\x47", "\xCB\xF8\xB6\xE6:", "Lock:"}},
    // "頻率：" | "频率:" | "Fq:"
    {"FqLabel", {"\xC0\x57\xB2\x76\xA1\x47", "\xC6\xB5\xC2\xCA:", "Fq:"}},
    // "占空比：" | "占空比:" | "Max. Duty:"
    {"MDLabel", {"\xA5\x65\xAA\xC5\xA4\xF1\xA1\x47", "\xD5\xBC\xBF\xD5\xB1\xC8:", "Max. Duty:"}},
    // "脈衝上限：" | "脉冲上限:" | "Pulse Upper:"
    {"SRULabel", {"\xAF\xDF\xBD\xC4\xA4\x57\xAD\xAD\xA1\x47", "\xC2\xF6\xB3\xE5\xC9\xCF\xCF\xDE:", "Pulse Upper:"}},
    // "脈衝下限：" | "脉冲下限:" | "Pulse Lower:"
    {"SRLLabel", {"\xAF\xDF\xBD\xC4\xA4\x55\xAD\xAD\xA1\x47", "\xC2\xF6\xB3\xE5\xCF\xC2\xCF\xDE:", "Pulse Lower:"}},
    // "中點位置：" | "中点位置:" | "Neutral:"
    {"NeuLabel", {"\xA4\xA4\xC2\x49\xA6\xEC\xB8\x6D\xA1\x47", "\xD6\xD0\xB5\xE3\xCE\xBB\xD6\xC3:", "Neutral:"}},
    // "中點信號：" | "中点信号:" | "Signal:"
    {"NeuILabel", {"\xA4\xA4\xC2\x49\xAB\x48\xB8\xB9\xA1\x47", "\xD6\xD0\xB5\xE3\xD0\xC5\xBA\xC5:", "Signal:"}},
    // "最大占空比A" | "最大占空比A" | "MD100%A"
    {"MDACheck", {"\xB3\xCC\xA4\x6A\xA5\x65\xAA\xC5\xA4\xF1" "A", "\xD7\xEE\xB4\xF3\xD5\xBC\xBF\xD5\xB1\xC8" "A", "MD100%A"}},
    // "最大占空比B" | "最大占空比B" | "MD100%B"
    {"MDBCheck", {"\xB3\xCC\xA4\x6A\xA5\x65\xAA\xC5\xA4\xF1" "B", "\xD7\xEE\xB4\xF3\xD5\xBC\xBF\xD5\xB1\xC8" "B", "MD100%B"}},
    // "讀配置" | "读配置" | "Read Config"
    {"ReadBtn", {"\xC5\xAA\xB0\x74\xB8\x6D", "\xB6\xC1\xC5\xE4\xD6\xC3", "Read Config"}},
    // "寫配置" | "写配置" | "Write Config"
    {"WriteBtn", {"\xBC\x67\xB0\x74\xB8\x6D", "\xD0\xB4\xC5\xE4\xD6\xC3", "Write Config"}},
    // "初始化" | "初始化" | "Initialize"
    {"InitBtn", {"\xAA\xEC\xA9\x6C\xA4\xC6", "\xB3\xF5\xCA\xBC\xBB\xAF", "Initialize"}},
    // "設備已連接" | "设备已连接" | "Connected"
    {"ConnLabel", {"\xB3\x5D\xB3\xC6\xA4\x77\xB3\x73\xB1\xB5", "\xC9\xE8\xB1\xB8\xD2\xD1\xC1\xAC\xBD\xD3", "Connected"}},
    // "設備未連接" | "设备未连接" | "Unconnect"
    {"UnConnLabel", {"\xB3\x5D\xB3\xC6\xA5\xBC\xB3\x73\xB1\xB5", "\xC9\xE8\xB1\xB8\xCE\xB4\xC1\xAC\xBD\xD3", "Unconnect"}},
    // "配置卡與該軟體不匹配，請與供應商聯繫。" | "配置卡与该软件不匹配，请与供应商联系。" | "Usb adapter is not compatible with the software, please contact supplier for support."
    {"Mismatch", {"\xB0\x74\xB8\x6D\xA5\x64\xBB\x50\xB8\xD3\xB3\x6E\xC5\xE9\xA4\xA3\xA4\xC7\xB0\x74\xA1\x41\xBD\xD0\xBB\x50\xA8\xD1\xC0\xB3\xB0\xD3\xC1\x70\xC3\xB4\xA1\x43", "\xC5\xE4\xD6\xC3\xBF\xA8\xD3\xEB\xB8\xC3\xC8\xED\xBC\xFE\xB2\xBB\xC6\xA5\xC5\xE4\xA3\xAC\xC7\xEB\xD3\xEB\xB9\xA9\xD3\xA6\xC9\xCC\xC1\xAA\xCF\xB5\xA1\xA3", "Usb adapter is not compatible with the software, please contact supplier for support."}},
}};

const std::array<TMixedCell, 4> kMixedCells{{
    {"pChineseTW", 1, {{{TextEncoding::Gbk, 8}, {TextEncoding::Ascii, 1}, {TextEncoding::Big5, 8}}}},
    {"pChineseTW", 2, {{{TextEncoding::Ascii, 8}, {TextEncoding::Big5, 8}}}},
    {"pChinese", 0, {{{TextEncoding::Big5, 8}, {TextEncoding::Ascii, 1}, {TextEncoding::Gbk, 8}}}},
    {"pChinese", 2, {{{TextEncoding::Ascii, 8}, {TextEncoding::Gbk, 8}}}},
}};

}  // namespace rvz
