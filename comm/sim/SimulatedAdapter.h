// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A simulated USB adapter with a servo attached, behind the same bridge
// interface as a real adapter. It serves the demo executable and the tests:
// it can be plugged and unplugged, and its servo can be told to fall silent,
// to drop a number of replies or to answer late.
//
// Time: without a clock every reply is there at once and no read waits.
// Given a clock, the servo's replies travel a serial line, as with a real
// adapter: a command reaches the servo after its bytes' line time, the
// servo answers its delay later, every reply byte takes its line time, and
// a reply never starts before the one ahead of it has finished. A read
// waits for its bytes up to the read time-out, and a flush drops only the
// bytes that have arrived.

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "LinkClock.h"
#include "UsbBridge.h"

namespace rvz {

class SimulatedAdapter final : public UsbBridge {
public:
    using Registers = std::array<std::uint8_t, 16>;
    using Identification = std::array<std::uint8_t, 22>;

    // The servo's registers when it leaves the factory.
    static constexpr Registers kFactoryRegisters{0x00, 0x23, 0x00, 0x00, 0x00, 0x00, 0x01, 0x4E,
                                                 0x9C, 0x80, 0x0D, 0x00, 0x00, 0x00, 0x05, 0xDC};

    explicit SimulatedAdapter(bool pluggedIn = true);

    // --- Test hooks -----------------------------------------------------------
    void Plug();
    // Pulls the adapter out: the count fails and the open handle goes dead.
    void Unplug();
    bool IsPluggedIn() const { return m_pluggedIn; }
    bool HasOpenSession() const { return m_openHandle != kNullHandle; }
    // A silent servo answers nothing to register and block commands; the
    // adapter itself still identifies.
    void SetServoSilent(bool silent) { m_servoSilent = silent; }
    // The next count commands are lost on the way: the servo neither sees
    // them nor answers.
    void DropReplies(int count) { m_repliesToDrop = count; }
    // The servo carries out the next count commands, but their replies are
    // lost on the way back.
    void LoseReplies(int count) { m_repliesToLose = count; }
    // The next count replies of the servo come without their last byte.
    void CutReplies(int count) { m_repliesToCut = count; }
    // The reply to the count-th command from now comes this much later than
    // the delay says, as after a busy moment; those after it come in their
    // time, but never before it has passed the line.
    void DelayReplyAt(int count, LinkTime extra)
    {
        m_commandsToLateReply = count;
        m_lateReplyExtra = extra;
    }
    // A flush that comes back at once without emptying the receive buffer,
    // as a USB read that times out before the host has the bytes does.
    void SetFlushLeavesBytes(bool leaves) { m_flushLeavesBytes = leaves; }
    // The adapter is pulled out as the count-th command from now arrives;
    // that command is lost. 0 for never.
    void UnplugAtCommand(int count) { m_commandsToUnplug = count; }
    // Lets time pass for reads and replies; the clock must outlive the adapter.
    void UseClock(LinkClock& clock) { m_clock = &clock; }
    // Each reply arrives delay after its command, plus up to jitter more;
    // replies keep their order. Takes effect with a clock only.
    void SetReplyDelay(LinkTime delay, LinkTime jitter = LinkTime{0})
    {
        m_replyDelay = delay;
        m_replyJitter = jitter;
    }
    // The serial line's rate in bits per second; each byte takes ten bits
    // (a start bit, eight data bits, a stop bit).
    void SetLineRate(int bitsPerSecond) { m_byteTime = ByteTimeAt(bitsPerSecond); }
    static constexpr int kDefaultLineRate = 115200;
    // How long count bytes take on the line at the rate set.
    std::chrono::microseconds LineTime(std::size_t count) const
    {
        return m_byteTime * static_cast<std::chrono::microseconds::rep>(count);
    }
    // A name under which programs find what the last session on this
    // adapter left (see UsbBridge::SessionKey); empty, as by default, when
    // the adapter lives and dies with its program.
    void SetSessionKey(std::string key) { m_sessionKey = std::move(key); }
    void SetIdentification(const Identification& id) { m_identification = id; }
    // The adapter answers its identification itself, at once and ahead of
    // servo replies still on their way, instead of as late as the servo.
    void SetIdentificationAtOnce(bool atOnce) { m_identifyAtOnce = atOnce; }
    const Identification& AdapterIdentification() const { return m_identification; }
    // The servo acknowledges data for this register, alone or in a block,
    // but silently keeps its old value, as a faulty servo may; -1 for none.
    void KeepOldValueOf(int reg) { m_keptRegister = reg; }
    // Another servo, fresh from the factory, takes the place of this one.
    void ReplaceServo()
    {
        m_registers = kFactoryRegisters;
        m_servoSilent = false;
        m_keptRegister = -1;
        m_selected = {};
    }
    const Registers& ServoRegisters() const { return m_registers; }
    void SetServoRegisters(const Registers& registers) { m_registers = registers; }
    // Every command received, in order, for tests that follow the traffic.
    const std::vector<std::vector<std::uint8_t>>& ReceivedCommands() const { return m_commands; }
    // How many commands arrived; counted even when they are not kept.
    std::size_t CommandCount() const { return m_commandCount; }
    // How many of them were not the adapter's identification.
    std::size_t ServoCommandCount() const { return m_servoCommandCount; }
    // Long runs keep only the count, not every command.
    void KeepCommands(bool keep) { m_keepCommands = keep; }

    // --- Bridge operations -------------------------------------------------
    BridgeStatus GetNumDevices(std::uint32_t* count) override;
    BridgeStatus Open(std::uint32_t deviceIndex, BridgeHandle* handle) override;
    BridgeStatus Close(BridgeHandle handle) override;
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received) override;
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written) override;
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive) override;
    BridgeStatus SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs) override;
    std::string SessionKey(BridgeHandle handle) const override { return IsLive(handle) ? m_sessionKey : std::string(); }

private:
    bool IsLive(BridgeHandle handle) const;
    void Answer(std::span<const std::uint8_t> command);
    void AnswerRegisterCommand(std::span<const std::uint8_t> command);
    void AnswerBlock(std::span<const std::uint8_t> frame);
    void ReplyStatus(bool positive, std::uint8_t data = 0);
    // A reply of the servo's, subject to its faults (lost, cut).
    void ServoReply(std::vector<std::uint8_t> bytes);
    // Drops the reply bytes that have arrived; those on their way still come.
    void DropArrived();
    using Micros = std::chrono::microseconds;
    static Micros ByteTimeAt(int bitsPerSecond) { return Micros{(10 * 1000000 + bitsPerSecond - 1) / bitsPerSecond}; }
    // Queues the servo's reply bytes: they start the reply delay after the
    // command reached the servo, once the line is free, a byte's time apart.
    void Reply(const std::vector<std::uint8_t>& bytes);
    // The adapter's own answer, given at once, ahead of servo replies still
    // on their way.
    void AdapterReplyAtOnce(const std::vector<std::uint8_t>& bytes);
    LinkTime Now() const { return m_clock ? m_clock->Now() : LinkTime{0}; }
    Micros NowMicros() const { return Now(); }
    // Lets the clock run until the moment given (rounded up to its step).
    void SleepUntil(Micros moment);
    // Register number named by an address byte, or -1 when it names none of
    // registers 1 to 15 in the current bank.
    int RegisterAt(std::uint8_t address) const;

    bool m_pluggedIn;
    bool m_servoSilent = false;
    bool m_identifyAtOnce = false;
    bool m_flushLeavesBytes = false;
    int m_repliesToDrop = 0;
    int m_repliesToLose = 0;
    int m_repliesToCut = 0;
    int m_commandsToUnplug = 0;
    int m_keptRegister = -1;
    // Handles are numbered by plug generation, so a handle from before an
    // unplug never works again.
    BridgeHandle m_generation = 1;
    BridgeHandle m_openHandle = kNullHandle;
    Registers m_registers = kFactoryRegisters;
    Identification m_identification{};
    std::array<bool, 16> m_selected{};
    struct PendingByte {
        std::uint8_t value;
        Micros arrivesAt;
    };
    std::deque<PendingByte> m_pending;  // reply bytes on their way or waiting to be read
    LinkClock* m_clock = nullptr;
    LinkTime m_readTimeout{0};
    Micros m_byteTime = ByteTimeAt(kDefaultLineRate);
    Micros m_commandArrives{0};  // when the command being answered reached the servo
    std::string m_sessionKey;
    LinkTime m_replyDelay{0};
    LinkTime m_replyJitter{0};
    std::minstd_rand m_random{20261208};  // the same jitter on every run
    std::vector<std::vector<std::uint8_t>> m_commands;
    std::size_t m_commandCount = 0;
    std::size_t m_servoCommandCount = 0;
    int m_commandsToLateReply = 0;
    LinkTime m_lateReplyExtra{0};
    LinkTime m_thisReplyExtra{0};  // for the command being answered
    bool m_keepCommands = true;
};

}  // namespace rvz
