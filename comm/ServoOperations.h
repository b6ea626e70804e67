// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The servo operations that the window's buttons and the command line's
// commands run, each with its three attempts: read the configuration, write
// it (and read it back), and send the whole parameter block. Neither face
// spells out an exchange of its own; both speak the same bytes through here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "Attempts.h"
#include "Comm.h"
#include "Settings.h"

namespace rvz {

// How often the window polls the adapter, and a batch waits between looks.
inline constexpr LinkTime kPollInterval{300};

// The link as far as Connect brought it up.
enum class LinkStage {
    NoSession,     // no adapter, or it cannot be opened (the failure says why)
    NotOurs,       // the device does not identify itself as a servo adapter
    NoAnswer,      // the device does not answer its identification
    Identified,    // a servo adapter; the servo was not asked, or did not answer
    ServoAnswers,  // and the servo answers the probe
};

struct Connection {
    LinkStage stage = LinkStage::NoSession;
    LinkFailure failure = LinkFailure::None;  // why it went no further
    // The identification, once one came (also from a device not ours).
    std::optional<IdentificationBytes> identification;
    bool Identified() const { return stage >= LinkStage::Identified; }
};

// Brings the link up as far as it goes, as the window's poll does: counts
// and opens, identifies a session not identified before (see
// IdentifyAdapter), and with probeServo asks whether a servo answers (with
// the attempts of every operation). A session already open and identified
// is only counted, so a poll costs one library call.
Connection Connect(TComm& comm, bool probeServo);

// The parameter record as the protocol moves it: register i is byte i.
using RegisterRecord = std::array<std::uint8_t, protocol::kRegisterCount>;

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

// Write Config (register by register) or Initialize (the block), then the
// registers of ConfigMask read back: it succeeds only when the servo holds
// what was sent, since a servo may acknowledge a value and keep another
// (NotHeld). The window reports its writes so.
OperationResult SendAndConfirm(TComm& comm, const RegisterRecord& record, bool block);

}  // namespace rvz
