// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrlttyRules.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>

namespace rvz::cli {

namespace {

std::string Hex(unsigned value, bool padded)
{
    char text[8];
    std::snprintf(text, sizeof text, padded ? "%04x" : "%x", value);
    return text;
}

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The file udev reads for each rule name: the first folder's wins.
std::map<std::string, std::filesystem::path> EffectiveRules(const std::vector<std::filesystem::path>& folders)
{
    std::map<std::string, std::filesystem::path> rules;
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(".rules"))
                rules.emplace(name, entry.path());  // an earlier folder's stays
        }
    }
    return rules;
}

bool Masked(const std::filesystem::path& file)
{
    std::error_code error;
    if (std::filesystem::is_symlink(file, error) &&
        std::filesystem::read_symlink(file, error) == std::filesystem::path("/dev/null"))
        return true;
    return std::filesystem::is_regular_file(file, error) && std::filesystem::file_size(file, error) == 0;
}

}  // namespace

std::vector<std::string> BrlttyRulesClaimingIn(const std::vector<std::filesystem::path>& folders,
                                               std::uint16_t vendorId, std::uint16_t productId)
{
    const std::string product = Hex(vendorId, false) + "/" + Hex(productId, false) + "/";
    const std::string vendorAttribute = "\"" + Hex(vendorId, true) + "\"";
    const std::string productAttribute = "\"" + Hex(productId, true) + "\"";
    std::vector<std::string> claiming;
    for (const auto& [name, file] : EffectiveRules(folders)) {
        if (name.find("brltty") == std::string::npos || Masked(file))
            continue;
        std::ifstream rules(file);
        for (std::string line; std::getline(rules, line);) {
            line = Lowered(line);
            const auto text = line.find_first_not_of(" \t");
            if (text == std::string::npos || line[text] == '#')
                continue;
            if (line.find(product) != std::string::npos ||
                (line.find(vendorAttribute) != std::string::npos && line.find(productAttribute) != std::string::npos)) {
                claiming.push_back(file.string());
                break;
            }
        }
    }
    return claiming;
}

}  // namespace rvz::cli
