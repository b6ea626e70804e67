// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why the last adapter operation failed. The operations keep answering
// plain yes or no; the reason is kept beside them for those who can show
// more than "Fault": the command line and the doctor.

#include <string_view>

#include "UsbBridge.h"

namespace rvz {

enum class LinkFailure {
    None,
    NoAdapter,       // nothing attached, or no session open
    AdapterGone,     // the open adapter went away
    NoPermission,    // the user may not open the adapter
    LibraryMissing,  // the bridge library is missing or incomplete
    NotOurs,         // the attached device is not a servo adapter
    NotIdentified,   // the adapter has not identified itself yet, so nothing was sent
    TransferFailed,  // a transfer failed or came up short for another reason
    Stalled,         // the adapter's endpoint answered with a halt
    NoReply,         // nothing came back within the read time-out
    MalformedReply,  // a reply came cut off or without its marker
    RefusedReply,    // a well-framed reply said no
    CrcMismatch,     // the block came back with another CRC
    NotHeld,         // the servo acknowledged the values but holds others
    NeverQuiet,      // the adapter kept sending bytes nobody asked for
    LateReply,       // replies came too late to be told from the next ones'
    Busy,            // another program holds the adapter
    Interrupted,     // the user asked to stop (Ctrl+C); nothing more was sent
};

// One sentence for a person, without a full stop.
std::string_view DescribeLinkFailure(LinkFailure failure);

// The reason a failed bridge call gives; statuses not told apart become
// TransferFailed.
LinkFailure FailureOfStatus(BridgeStatus status);

}  // namespace rvz
