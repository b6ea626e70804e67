// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Unit Comm: the session with the USB adapter and the servo register protocol
// spoken over it. Every operation returns plain success or a byte count;
// none throws, and no library status ever leaves this unit: the session
// keeps the reason of the last failure instead (LastFailure).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "LinkClock.h"
#include "LinkFailure.h"
#include "OwedReplies.h"
#include "SessionRecords.h"
#include "UsbBridge.h"

namespace rvz {

// Read and write time-outs set before every open.
inline constexpr std::uint32_t kAdapterTimeoutMs = 50;

// A status reply does not say which command it answers. So after a reply
// went missing or came malformed, the next command waits until the newest
// reply owed has come or run out of its late-reply wait (see OwedReplies),
// and a read has then found the link empty after it has carried nothing for
// the required silence: a late reply has then most likely arrived and been
// thrown away. A servo answers within a few milliseconds; the slowest
// plausible reply, a block stored in EEPROM over a slow serial line, takes
// about 100 ms, and a busy host adds tens more. The required silence is
// 300 ms, three times that and six read time-outs; the late-reply wait
// starts there and grows to cover the latest reply seen coming late.
inline constexpr LinkTime kRequiredSilence{300};
// The bound of the promise: a reply that has not come this long after its
// command counts as lost. Within it a late reply is never taken for another
// command's, whatever its delay; the late-reply wait never grows beyond it.
inline constexpr LinkTime kLateReplyLimit{1500};
// A link still not quiet this much later than it could have been (the
// required silence after the wait began, or after the reply owed was waited
// for), or after this many reads, is given up on.
inline constexpr LinkTime kSettleLimit{2000};
inline constexpr int kSettleReadLimit = 1000;
// A session's note covers the commands of this much time ahead, so that it
// is written once an operation, not before every command (see SessionRecords.h).
inline constexpr LinkTime kNoteAhead{300};

class TComm {
public:
    // records: where the session notes what it owes, and learns what the
    // last program on the adapter left (see SessionRecords.h).
    explicit TComm(UsbBridge& bridge, LinkClock& clock = SteadyLinkClock(),
                   SessionRecords& records = HostSessionRecords())
        : m_bridge(bridge), m_clock(clock), m_records(records)
    {
    }
    // A session left open is closed last, whatever path ended the work.
    ~TComm() { CloseAdapter(); }
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    // --- Adapter session ---------------------------------------------------

    // Polls the adapter: true when a session is open on return (opened now or
    // already open). A failed count closes an open session. With a session
    // already open this makes exactly one library call, the count. A new
    // session reads what the last one on the adapter left: when that one
    // ended while a reply may still come (its program was killed), the
    // first command waits until nothing it sent can still be answered and
    // the link has fallen quiet.
    bool OpenAdapter();

    // Closes the open session, if any, and clears LinkVerified. Does nothing
    // when no session is open. A reply still on its way would be taken by
    // the next session's first command, so the link is first let fall quiet
    // (until no reply can still be owed, at most kLateReplyLimit after the
    // last command, and the link has then carried nothing for the required
    // silence); Ctrl+C does not cut this short.
    void CloseAdapter();

    // Closes the session with a device that turned out not to be a servo
    // adapter, so that its own driver gets it back at once, and opens none
    // again until the count finds no adapter attached. why stays the last
    // failure: the checks on the way may have cleared the one that counts.
    void RejectAdapter(LinkFailure why);

    // Which attached adapter the next session opens (the first, unless
    // chosen). Takes effect at the next open.
    void ChooseAdapter(const AdapterChoice& choice) { m_choice = choice; }
    const AdapterChoice& ChosenAdapter() const { return m_choice; }
    // The adapter of the open session, or of the last one.
    const std::optional<AdapterName>& OpenedAdapter() const { return m_opened; }

    // Reads buffer.size() bytes. Returns the count received (possibly fewer),
    // 0 on any failure and without a session, in which case nothing is called.
    std::int32_t AdapterRead(std::span<std::uint8_t> buffer);

    // Flushes both buffers, then writes the bytes. True only when every byte
    // was written. Without a session it fails at once, without a flush.
    // Nothing but the identification goes to an adapter that has not
    // identified itself as a servo adapter: anything else fails unsent.
    // After a failed exchange it first lets the link fall quiet (see
    // kRequiredSilence); a link that does not fails the write unsent. The reply due is
    // judged by the command's class (see ReplySizeOf).
    bool AdapterWrite(std::span<const std::uint8_t> buffer);

    // --- Trust in replies -------------------------------------------------

    // Runs one attempt of an operation (a lambda returning its success). A
    // success that may rest on a reply taken for an earlier command's (one
    // was still owed when it came) is not believed: once nothing can still
    // be owed, the attempt runs again on the quiet link, and only a success
    // there counts; otherwise it fails as LateReply. Every operation of the
    // register protocol below runs as such an attempt when called on its
    // own; within an attempt, the attempt around it confirms it.
    template <typename Operation>
    bool Attempt(Operation&& operation);

    // Reads and drops what comes until the link is quiet (see Drain), even
    // after an exchange that went well: before asking the adapter again for
    // what a stray reply may have garbled.
    bool QuietenLink();

    // Some reply may still be on its way (a command went unanswered less
    // than kLateReplyLimit ago, or an exchange failed since the last wait).
    bool ReplyMayBeOnItsWay() const { return m_replies.MayBeOnItsWay(); }
    // How long after its command a missing reply is now waited for.
    LinkTime LateReplyWaitNow() const { return m_replies.LateReplyWait(); }

    // --- Register protocol -------------------------------------------------

    // Each of these is one attempt (see Attempt).

    // Sends the probe and reads its status reply.
    bool ProbeServo();

    // Reads one 3-byte status reply. Stores its data byte in *destination
    // (when not null) once the reply is well framed, even when negative.
    bool ReadStatus(std::uint8_t* destination);

    // Reads one 5-byte block reply; true when it is positive and carries crc.
    bool ReadBlockAck(std::uint16_t crc);

    // Reads every register selected among the first n entries of mask into
    // record[i]. n beyond the mask or the record fails before anything is sent.
    bool ReadRegisters(std::span<std::uint8_t> record, std::span<const std::uint8_t> mask, std::int32_t n);

    // Writes the selected registers from record: a select pass, then a data pass.
    bool WriteRegisters(std::span<const std::uint8_t> record, std::span<const std::uint8_t> mask,
                        std::int32_t n);

    // Sends data as one parameter block with its CRC-16; true when the reply
    // echoes that CRC. Blocks longer than a 16-bit count are refused unsent.
    bool WriteBlock(std::span<const std::uint8_t> data);

    // Asks the adapter for destination.size() identification bytes; the
    // destination is written only when the whole reply is good.
    bool QueryAdapterInfo(std::span<std::uint8_t> destination);

    // Asked before every command and while waiting for a quiet link: once it
    // says stop, nothing more is sent and the operations fail at once.
    void SetInterruption(std::function<bool()> stopRequested) { m_stopRequested = std::move(stopRequested); }

    // --- Session state ----------------------------------------------------
    BridgeHandle AdapterHandle() const { return m_adapterHandle; }
    bool LinkVerified() const { return m_linkVerified; }
    // Why the last operation failed; None after one that succeeded.
    LinkFailure LastFailure() const { return m_lastFailure; }
    // The open session's adapter has identified itself as a servo adapter
    // (see IdentifyAdapter); forgotten when the session closes.
    bool Identified() const { return m_adapterHandle != kNullHandle && m_identified; }
    void NoteIdentified() { m_identified = true; }

private:
    bool Probe();
    bool ReadRegistersOnce(std::span<std::uint8_t> record, std::span<const std::uint8_t> mask, std::int32_t n);
    bool WriteRegistersOnce(std::span<const std::uint8_t> record, std::span<const std::uint8_t> mask, std::int32_t n);
    bool WriteBlockOnce(std::span<const std::uint8_t> data);
    bool QueryAdapterInfoOnce(std::span<std::uint8_t> destination);
    // Reads what the last session on the adapter left, and keeps this one's note.
    void BeginNote();
    // Before a command: the note says until when its reply may come.
    void NoteAhead();
    // Writes a command for which replySize bytes are due (0: none).
    bool Send(std::span<const std::uint8_t> command, std::size_t replySize);
    bool WriteCommandAndReadStatus(std::span<const std::uint8_t> command);
    static bool MaskFits(std::span<const std::uint8_t> record, std::span<const std::uint8_t> mask, std::int32_t n);
    // Notes why an exchange failed; false, for the caller to return.
    bool Fail(LinkFailure failure);
    // Clears the reason at the end of an operation that succeeded; true.
    bool Succeed();
    // A reply went wrong: its rest, or the reply itself, may still come.
    bool ReplyFailed(LinkFailure failure);
    // Reads and drops bytes until the newest reply owed has come or run out
    // of its late-reply wait (with untilNothingOwed, or while the last
    // program's reply is owed: until every reply owed has come or run out of
    // time), and a read then finds the link empty after the required silence.
    // interruptible: Ctrl+C ends the wait.
    bool Drain(bool untilNothingOwed, bool interruptible);
    // Closes the handle without waiting: the adapter has gone, or nothing
    // was ever exchanged.
    void Release();

    UsbBridge& m_bridge;
    LinkClock& m_clock;
    SessionRecords& m_records;
    std::unique_ptr<SessionNote> m_note;
    std::optional<LinkTime> m_notedUntil;  // what the note says, while it says a reply may come
    BridgeHandle m_adapterHandle = kNullHandle;
    AdapterChoice m_choice = AdapterChoice::First();
    std::optional<AdapterName> m_opened;
    bool m_linkVerified = true;
    bool m_rejected = false;
    bool m_identified = false;
    int m_attemptDepth = 0;
    OwedReplies m_replies{kRequiredSilence, kLateReplyLimit, LinkTime{kAdapterTimeoutMs}};
    // Since the attempt began, a reply was taken while an older one was owed.
    bool m_repliesMayBeStale = false;
    LinkFailure m_lastFailure = LinkFailure::None;
    std::function<bool()> m_stopRequested;
    bool StopRequested() const { return m_stopRequested && m_stopRequested(); }
};

template <typename Operation>
bool TComm::Attempt(Operation&& operation)
{
    if (m_attemptDepth > 0)
        return operation();
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(++d) {}
        ~Depth() { --depth; }
    } scope(m_attemptDepth);
    m_repliesMayBeStale = false;
    if (!operation())
        return false;
    if (!m_repliesMayBeStale)
        return true;
    if (!Drain(true, true))
        return false;
    m_repliesMayBeStale = false;
    if (!operation())
        return false;
    return m_repliesMayBeStale ? Fail(LinkFailure::LateReply) : true;
}

}  // namespace rvz
