// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkFailure.h"

namespace rvz {

std::string_view DescribeLinkFailure(LinkFailure failure)
{
    switch (failure) {
    case LinkFailure::None:
        return "no failure";
    case LinkFailure::NoAdapter:
        return "no adapter is attached";
    case LinkFailure::AdapterGone:
        return "the adapter went away (unplugged, or its cable came loose)";
    case LinkFailure::NoPermission:
        return "you may not open the adapter (no udev rule gives it to you here)";
    case LinkFailure::LibraryMissing:
        return "the adapter's USB library (SIUSBXP.DLL) is missing or incomplete";
    case LinkFailure::NotOurs:
        return "the attached device is not a servo adapter";
    case LinkFailure::NotIdentified:
        return "the adapter has not identified itself as a servo adapter, so nothing was sent to it";
    case LinkFailure::TransferFailed:
        return "a USB transfer to the adapter failed";
    case LinkFailure::Stalled:
        return "the adapter's USB endpoint stalled";
    case LinkFailure::NoReply:
        return "no reply came back in time";
    case LinkFailure::MalformedReply:
        return "the servo's reply came cut off or garbled";
    case LinkFailure::RefusedReply:
        return "the servo refused the command";
    case LinkFailure::NotHeld:
        return "the servo acknowledged the values but holds others";
    case LinkFailure::CrcMismatch:
        return "the servo received the block damaged (CRC mismatch)";
    case LinkFailure::NeverQuiet:
        return "the adapter keeps sending bytes nobody asked for";
    case LinkFailure::LateReply:
        return "the servo's replies came too late to be told apart, so none was taken";
    case LinkFailure::Busy:
        return "the adapter is in use by another program";
    case LinkFailure::Interrupted:
        return "stopped (Ctrl+C, or another signal) before the next command went out";
    }
    return "unknown failure";
}

LinkFailure FailureOfStatus(BridgeStatus status)
{
    switch (status) {
    case bridge_status::kDeviceNotFound:
        return LinkFailure::AdapterGone;
    case bridge_status::kStalled:
        return LinkFailure::Stalled;
    case bridge_status::kAccessDenied:
        return LinkFailure::NoPermission;
    case bridge_status::kBusy:
        return LinkFailure::Busy;
    case bridge_status::kLibraryMissing:
        return LinkFailure::LibraryMissing;
    default:
        return LinkFailure::TransferFailed;
    }
}

}  // namespace rvz
