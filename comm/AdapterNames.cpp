// SPDX-License-Identifier: GPL-3.0-or-later
#include "AdapterNames.h"

#include <charconv>
#include <vector>

namespace rvz {

namespace {

// A whole number of at most three digits, as buses, ports and indices are.
std::optional<std::uint32_t> SmallNumber(std::string_view text)
{
    std::uint32_t value = 0;
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Bus "-" port ("." port)*, each from 1 to 255.
bool IsPortPath(std::string_view text)
{
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos)
        return false;
    std::string_view rest = text.substr(dash + 1);
    const auto inRange = [](std::string_view part) {
        const auto number = SmallNumber(part);
        return number && *number >= 1 && *number <= 255 && part.front() != '0';  // one spelling per port
    };
    if (!inRange(text.substr(0, dash)))
        return false;
    for (;;) {
        const std::size_t dot = rest.find('.');
        if (!inRange(rest.substr(0, dot)))
            return false;
        if (dot == std::string_view::npos)
            return true;
        rest = rest.substr(dot + 1);
    }
}

}  // namespace

std::string AdapterName::Text() const { return port.empty() ? std::to_string(index) : port; }

bool AdapterChoice::Matches(const AdapterName& adapter) const
{
    return index ? *index == adapter.index : port == adapter.port;
}

std::string AdapterChoice::Text() const { return index ? std::to_string(*index) : port; }

std::optional<AdapterChoice> ParseAdapterChoice(std::string_view text)
{
    if (const auto number = SmallNumber(text))
        return AdapterChoice{*number, {}};
    if (IsPortPath(text))
        return AdapterChoice{std::nullopt, std::string(text)};
    return std::nullopt;
}

bool PortBefore(std::string_view a, std::string_view b)
{
    const auto numbers = [](std::string_view path) {
        std::vector<std::uint32_t> parts;
        std::size_t start = 0;
        for (std::size_t at = 0; at <= path.size(); ++at)
            if (at == path.size() || path[at] == '-' || path[at] == '.') {
                parts.push_back(SmallNumber(path.substr(start, at - start)).value_or(0));
                start = at + 1;
            }
        return parts;
    };
    if (a.empty() || b.empty())
        return !a.empty() && b.empty();
    return numbers(a) < numbers(b);
}

std::string PortPath(std::uint8_t bus, std::span<const std::uint8_t> ports)
{
    if (ports.empty())
        return {};
    std::string path = std::to_string(bus);
    char separator = '-';
    for (std::uint8_t port : ports) {
        path += separator + std::to_string(port);
        separator = '.';
    }
    return path;
}

}  // namespace rvz
