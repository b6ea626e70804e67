#pragma once
// A simulated USB adapter with a servo attached, behind the same bridge
// interface as a real adapter. It serves the demo executable and the tests:
// it can be plugged and unplugged, and its servo can be told to fall silent
// or to drop a number of replies.

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

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
    // The next count commands get no reply at all, as if lost on the way.
    void DropReplies(int count) { m_repliesToDrop = count; }
    void SetIdentification(const Identification& id) { m_identification = id; }
    // The servo acknowledges data for this register but silently keeps its
    // old value, as a faulty servo may; -1 for none.
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

    // --- Bridge operations -------------------------------------------------
    BridgeStatus GetNumDevices(std::uint32_t* count) override;
    BridgeStatus Open(std::uint32_t deviceIndex, BridgeHandle* handle) override;
    BridgeStatus Close(BridgeHandle handle) override;
    BridgeStatus Read(BridgeHandle handle, std::span<std::uint8_t> destination, std::uint32_t* received) override;
    BridgeStatus Write(BridgeHandle handle, std::span<const std::uint8_t> source, std::uint32_t* written) override;
    BridgeStatus FlushBuffers(BridgeHandle handle, std::uint8_t flushTransmit, std::uint8_t flushReceive) override;
    BridgeStatus SetTimeouts(std::uint32_t readTimeoutMs, std::uint32_t writeTimeoutMs) override;

private:
    bool IsLive(BridgeHandle handle) const;
    void Answer(std::span<const std::uint8_t> command);
    void AnswerRegisterCommand(std::span<const std::uint8_t> command);
    void AnswerBlock(std::span<const std::uint8_t> frame);
    void ReplyStatus(bool positive, std::uint8_t data = 0);
    // Register number named by an address byte, or -1 when it names none of
    // registers 1 to 15 in the current bank.
    int RegisterAt(std::uint8_t address) const;

    bool m_pluggedIn;
    bool m_servoSilent = false;
    int m_repliesToDrop = 0;
    int m_keptRegister = -1;
    // Handles are numbered by plug generation, so a handle from before an
    // unplug never works again.
    BridgeHandle m_generation = 1;
    BridgeHandle m_openHandle = kNullHandle;
    Registers m_registers = kFactoryRegisters;
    Identification m_identification{};
    std::array<bool, 16> m_selected{};
    std::deque<std::uint8_t> m_pending;  // reply bytes waiting to be read
    std::vector<std::vector<std::uint8_t>> m_commands;
};

}  // namespace rvz
