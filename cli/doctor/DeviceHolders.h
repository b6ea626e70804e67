// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Who holds a USB device: "NAME (PID N)" for each process that has it open.

#include <cstdint>
#include <string>
#include <vector>

namespace rvz::cli {

std::vector<std::string> ProgramsHoldingDevice(std::uint8_t bus, std::uint8_t address);

}  // namespace rvz::cli
