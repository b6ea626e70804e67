// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a user names one of several attached adapters: by its place in the
// bridge's numbering, or where the system tells it, by its USB port path
// ("1-2.3": bus 1, port 2 of the root hub, port 3 of the hub there). The
// port path stays the same while the same port is used, whatever else is
// plugged in or out; the number shifts when an adapter before it goes.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rvz {

// An attached adapter.
struct AdapterName {
    std::uint32_t index = 0;
    std::string port;  // empty where the system names no ports
    // What the history and a batch's log write: the port path where known, else the number.
    std::string Text() const;
    bool operator==(const AdapterName&) const = default;
};

// What --adapter asks for: a number, or a port path.
struct AdapterChoice {
    std::optional<std::uint32_t> index;
    std::string port;

    static AdapterChoice First() { return {0, {}}; }
    // The adapter by its port path, which stays while others come and go;
    // by its number only where it has none.
    static AdapterChoice Of(const AdapterName& adapter)
    {
        return adapter.port.empty() ? AdapterChoice{adapter.index, {}} : AdapterChoice{std::nullopt, adapter.port};
    }
    bool Matches(const AdapterName& adapter) const;
    std::string Text() const;
};

// Whether an adapter's name, as AdapterName::Text gives it, is the first
// adapter's number on a system that names no ports: as the only one there
// was before adapters had names, it goes unnamed in hints and lists.
inline bool IsFirstByNumber(std::string_view text) { return text.empty() || text == "0"; }

// "0", "3": a number; "1-2", "3-1.4.2": a port path. Anything else is none.
std::optional<AdapterChoice> ParseAdapterChoice(std::string_view text);

// Whether port path a comes before b: by bus, then port by port, as
// numbers ("1-2" before "1-10"); one without a path comes last.
bool PortBefore(std::string_view a, std::string_view b);

// "1-2.3" of a device on bus 1 behind ports 2 and 3; empty without ports.
std::string PortPath(std::uint8_t bus, std::span<const std::uint8_t> ports);

}  // namespace rvz
