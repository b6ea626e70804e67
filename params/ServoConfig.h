// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The servo's sixteen registers as one record: byte i is register i. Which
// bits hold which setting is Settings.h's to say.

#include <array>
#include <cstdint>

namespace rvz {

struct TServoConfig {
    static constexpr std::size_t kSize = 16;
    std::array<std::uint8_t, kSize> Bytes{};

    bool operator==(const TServoConfig&) const = default;
};

}  // namespace rvz
