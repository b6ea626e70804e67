// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How every user operation and the identification are tried: up to three
// attempts in a row, without a pause; the first success ends them (a
// success that may rest on a stale reply is first confirmed, see
// TComm::Attempt). The window and the command line share it, so both speak
// the same bytes.

#include <array>
#include <cstdint>

#include "Comm.h"
#include "Protocol.h"

namespace rvz {

inline constexpr int kAttempts = 3;

template <typename Operation>
bool WithAttempts(TComm& comm, Operation&& operation)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt)
        if (comm.Attempt(operation))
            return true;
    return false;
}

enum class AdapterIdentity { Ours, NoAnswer, OtherKind };

using IdentificationBytes = std::array<std::uint8_t, protocol::kIdentificationSize>;

// Identifies the adapter of an open session, as the poll does when the link
// comes up: it is ours when identification byte 21 is 0xA0. A device that
// is not ours, or does not answer, is released at once (see RejectAdapter),
// so that a device of someone else's with the same USB IDs gets its own
// driver back instead of being held while the tool runs.
AdapterIdentity IdentifyAdapter(TComm& comm, IdentificationBytes& identification);

}  // namespace rvz
