#pragma once
// The servo operations that the window's buttons and the command line's
// commands run, each with its three attempts: read the configuration, write
// it (and read it back), and send the whole parameter block. Neither face
// spells out an exchange of its own; both speak the same bytes through here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Attempts.h"
#include "Comm.h"

namespace rvz {

// The parameter record as the protocol moves it: register i is byte i.
using RegisterRecord = std::array<std::uint8_t, protocol::kRegisterCount>;

// The registers that ConfigMask selects, in ascending order: the one list,
// derived from the mask.
inline constexpr std::array<std::size_t, 6> kConfigRegisters = [] {
    std::array<std::size_t, 6> registers{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < ConfigMask.size(); ++i)
        if (ConfigMask[i] != 0)
            registers[n++] = i;
    return registers;
}();

// How an operation ended; the reason is the session's, from its last attempt.
struct OperationResult {
    bool ok = false;
    LinkFailure failure = LinkFailure::None;
    explicit operator bool() const { return ok; }
};

// Read Config: the registers of ConfigMask into record; the others are 0.
OperationResult ReadConfig(TComm& comm, RegisterRecord& record);

// Write Config: the registers of ConfigMask from record, register by register.
OperationResult WriteConfig(TComm& comm, const RegisterRecord& record);

// Initialize: the whole record, then one 0x00 byte, as one block with its CRC.
OperationResult SendBlock(TComm& comm, const RegisterRecord& record);

// Reads the configuration back after a write and lists the registers of
// ConfigMask whose value differs from what was written (empty when all agree).
struct Verification {
    OperationResult read;
    RegisterRecord held{};
    std::vector<std::size_t> differing;
};
Verification VerifyConfig(TComm& comm, const RegisterRecord& written);

}  // namespace rvz
