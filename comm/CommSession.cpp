// SPDX-License-Identifier: GPL-3.0-or-later
// The adapter session: open, poll, close and raw byte transfers.
#include <algorithm>
#include <array>

#include "Comm.h"
#include "Protocol.h"

namespace rvz {

namespace {

using namespace protocol;

// Why a count or open that failed found no session to open.
LinkFailure OpenFailure(BridgeStatus status)
{
    const LinkFailure failure = FailureOfStatus(status);
    return failure == LinkFailure::AdapterGone ? LinkFailure::NoAdapter : failure;
}

}  // namespace

bool TComm::Fail(LinkFailure failure)
{
    m_lastFailure = failure;
    return false;
}

bool TComm::Succeed()
{
    m_lastFailure = LinkFailure::None;
    return true;
}

bool TComm::ReplyFailed(LinkFailure failure)
{
    m_replies.ExchangeFailed();
    return Fail(failure);
}

bool TComm::OpenAdapter()
{
    std::uint32_t count = 0;
    // The count is the only sign that an adapter went away, so it runs on
    // every poll even while a session is open.
    const BridgeStatus counted = m_bridge.GetNumDevices(&count);
    if (counted != kBridgeSuccess) {
        const bool wasOpen = m_adapterHandle != kNullHandle;
        Release();  // gone: nothing more can come from it
        m_rejected = false;  // whatever was attached has gone
        return Fail(wasOpen ? LinkFailure::AdapterGone : OpenFailure(counted));
    }
    if (m_adapterHandle != kNullHandle)
        return Succeed();
    if (m_rejected)
        return Fail(LinkFailure::NotOurs);

    m_bridge.SetTimeouts(kAdapterTimeoutMs, kAdapterTimeoutMs);
    AdapterName which;
    const BridgeStatus opened = m_bridge.OpenChosen(m_choice, &m_adapterHandle, &which);
    if (opened != kBridgeSuccess) {
        Release();
        return Fail(OpenFailure(opened));
    }
    if (m_adapterHandle == kNullHandle)
        return Fail(LinkFailure::NoAdapter);
    m_opened = which;
    BeginNote();
    return Succeed();
}

void TComm::BeginNote()
{
    SessionRecords::Opened opened = m_records.Open(m_bridge.SessionKey(m_adapterHandle));
    m_note = std::move(opened.note);
    m_notedUntil.reset();
    const LinkTime now = m_clock.Now();
    LinkTime owedUntil = now + kLateReplyLimit;  // a note that cannot be read: anything may be owed
    switch (opened.left.state) {
    case LeftBefore::State::NothingOwed:
        return;
    case LeftBefore::State::Owed:
        // Later than any note of this clock can say: taken by a clock that
        // has started again since, as the machine, and the adapter with it, did.
        if (opened.left.owedUntil > now + kNoteAhead + LinkTime{kAdapterTimeoutMs} + kLateReplyLimit)
            return;
        owedUntil = opened.left.owedUntil;
        break;
    case LeftBefore::State::Unknown:
        break;
    }
    if (owedUntil <= now)
        return;  // whatever it left has come, or never will
    m_replies.InheritOwed(owedUntil);
    m_notedUntil = owedUntil;
}

void TComm::NoteAhead()
{
    if (!m_note)
        return;
    // The write of the command takes up to its time-out; its reply is then
    // waited for up to the bound.
    const LinkTime lastReplyDue = m_clock.Now() + LinkTime{kAdapterTimeoutMs} + kLateReplyLimit;
    if (m_notedUntil && *m_notedUntil >= lastReplyDue)
        return;
    m_notedUntil = lastReplyDue + kNoteAhead;
    m_note->Write(m_notedUntil);
}

void TComm::Release()
{
    if (m_adapterHandle == kNullHandle)
        return;
    // Nothing this session sent can still be answered: the next one starts
    // at once. Otherwise the note keeps what it says, since a reply given
    // up on may still come to the next session. Written while the adapter
    // is still ours: once closed, the next program may have written its own.
    if (m_note && !ReplyMayBeOnItsWay())
        m_note->Write(std::nullopt);
    m_note.reset();
    m_bridge.Close(m_adapterHandle);
    m_adapterHandle = kNullHandle;
    // Whatever the servo last said, or still owes, belongs to the closed session.
    m_linkVerified = false;
    m_identified = false;
    m_replies.Reset();
}

void TComm::CloseAdapter()
{
    // While the session still waits for what the last program left, it has
    // sent nothing of its own: that program's note stays for the next one.
    if (m_adapterHandle != kNullHandle && ReplyMayBeOnItsWay() && !m_replies.WaitsForLastProgram()) {
        // The reason of the operation that ended stays the one to report.
        const LinkFailure failure = m_lastFailure;
        Drain(true, false);
        m_lastFailure = failure;
    }
    Release();
}

void TComm::RejectAdapter(LinkFailure why)
{
    CloseAdapter();
    m_rejected = true;
    m_lastFailure = why;
}

std::int32_t TComm::AdapterRead(std::span<std::uint8_t> buffer)
{
    if (m_adapterHandle == kNullHandle || buffer.empty()) {
        Fail(LinkFailure::NoAdapter);
        return 0;
    }
    m_lastFailure = LinkFailure::None;  // the reply's reader judges a full read
    std::uint32_t received = 0;
    const BridgeStatus status = m_bridge.Read(m_adapterHandle, buffer, &received);
    if (status != kBridgeSuccess) {
        ReplyFailed(FailureOfStatus(status));
        return 0;
    }
    // A layer that claims more than it was asked for is answering garbage.
    if (received > buffer.size()) {
        ReplyFailed(LinkFailure::MalformedReply);
        return 0;
    }
    // Bytes that go to an older reply than the newest owed may be that
    // older command's answer, not this one's.
    if (received > 0 && m_replies.ReplyBytesCame(received, buffer.size(), m_clock.Now()))
        m_repliesMayBeStale = true;
    // The missing part of a short reply may still be on its way.
    if (received < buffer.size())
        ReplyFailed(received == 0 ? LinkFailure::NoReply : LinkFailure::MalformedReply);
    return static_cast<std::int32_t>(received);
}

bool TComm::Drain(bool untilNothingOwed, bool interruptible)
{
    const LinkTime start = m_clock.Now();
    std::array<std::uint8_t, 64> stray{};
    // Silence is known only from a read that found nothing: a reply that came
    // while nobody read (the link idle, or a flush that missed it) still
    // waits in the adapter's buffer, however long ago it came.
    bool foundEmpty = false;
    // The reads are bounded too, for a layer whose reads take no time.
    for (int reads = 0;; ++reads) {
        const LinkTime now = m_clock.Now();
        // A reply runs out of time only once a read has found the buffer
        // empty: bytes that came in time may still wait there unread.
        if (foundEmpty)
            m_replies.ReadEmpty(now);
        const LinkTime quietAt = m_replies.QuietAt(start, untilNothingOwed);
        if (foundEmpty && quietAt <= now)
            break;
        const LinkTime owedUntil = m_replies.OwedUntil(start, untilNothingOwed);
        if (now - std::max(start, owedUntil) >= kRequiredSilence + kSettleLimit || reads >= kSettleReadLimit)
            return Fail(LinkFailure::NeverQuiet);
        if (interruptible && StopRequested())
            return Fail(LinkFailure::Interrupted);
        std::uint32_t received = 0;
        const BridgeStatus status = m_bridge.Read(m_adapterHandle, stray, &received);
        if (status != kBridgeSuccess)
            return Fail(FailureOfStatus(status));
        foundEmpty = received == 0;
        if (received > 0) {
            m_replies.StrayBytesCame(std::min<std::size_t>(received, stray.size()), m_clock.Now());
        } else if (m_clock.Now() - now < LinkTime{kAdapterTimeoutMs}) {
            // A read that came back empty before its time-out did not wait
            // for the link; the rest of the wait is slept instead.
            m_clock.SleepFor(std::clamp(quietAt - now, LinkTime{1}, LinkTime{kAdapterTimeoutMs}));
        }
    }
    m_replies.Settled();
    return true;
}

bool TComm::QuietenLink()
{
    if (m_adapterHandle == kNullHandle)
        return Fail(LinkFailure::NoAdapter);
    return Drain(false, true);
}

bool TComm::AdapterWrite(std::span<const std::uint8_t> buffer)
{
    return Send(buffer, ReplySizeOf(buffer));
}

bool TComm::Send(std::span<const std::uint8_t> command, std::size_t replySize)
{
    if (m_adapterHandle == kNullHandle || command.empty())
        return Fail(LinkFailure::NoAdapter);
    // A device that has not said it is a servo adapter may be anything:
    // a servo command could mean something else to it.
    if (!m_identified && !IsIdentifyCommand(command))
        return Fail(LinkFailure::NotIdentified);
    if (StopRequested())
        return Fail(LinkFailure::Interrupted);
    // The flush below drops only what has already arrived: a reply to an
    // earlier, failed exchange that is still on its way would be taken for
    // the reply to this command. So the link is let fall silent first.
    if (m_replies.MustSettle() && !Drain(false, true))
        return false;
    m_bridge.FlushBuffers(m_adapterHandle, kFlushBuffer, kFlushBuffer);
    // Noted before it goes out: a program killed on the way still leaves
    // the next one word of the reply it may get.
    NoteAhead();
    std::uint32_t written = 0;
    const BridgeStatus status = m_bridge.Write(m_adapterHandle, command, &written);
    // Even a write that failed may have reached the servo in part, and be answered.
    m_replies.CommandSent(m_clock.Now(), replySize);
    if (status != kBridgeSuccess)
        return ReplyFailed(FailureOfStatus(status));
    if (written != command.size())
        return ReplyFailed(LinkFailure::TransferFailed);
    return true;
}

}  // namespace rvz
