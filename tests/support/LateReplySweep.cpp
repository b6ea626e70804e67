#include "LateReplySweep.h"

#include <cstdio>

namespace rvz::test {

namespace {

using Registers = SimulatedAdapter::Registers;

std::string Hex(std::span<const std::uint8_t> bytes)
{
    std::string text;
    char two[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(two, sizeof two, "%02X ", byte);
        text += two;
    }
    return text;
}

// What a write puts on the servo: every register it reaches changed.
Registers Changed(Registers registers)
{
    for (std::size_t i = 1; i < registers.size(); ++i)
        registers[i] = static_cast<std::uint8_t>(registers[i] ^ 0x5A);
    return registers;
}

std::string CompareConfig(const char* what, const Registers& got, const Registers& held)
{
    for (std::size_t i = 0; i < ConfigMask.size(); ++i)
        if (ConfigMask[i] != 0 && got[i] != held[i])
            return std::string(what) + ": register " + std::to_string(i) + " is " + Hex({&got[i], 1}) +
                   "where the servo holds " + Hex({&held[i], 1}) + "(" + Hex(got) + "/ " + Hex(held) + ")";
    return {};
}

bool ReadConfig(TComm& comm, Registers& record)
{
    return WithAttempts([&] {
        record = {};
        return comm.ReadRegisters(record, ConfigMask, static_cast<std::int32_t>(ConfigMask.size()));
    });
}

}  // namespace

const char* NameOf(ServoOperation operation)
{
    switch (operation) {
    case ServoOperation::ReadConfig:
        return "ReadConfig";
    case ServoOperation::WriteConfig:
        return "WriteConfig";
    case ServoOperation::Initialize:
        return "Initialize";
    case ServoOperation::Identify:
        return "Identify";
    }
    return "?";
}

Judgement RunAndJudge(ServoOperation operation, TComm& comm, const std::function<Registers()>& servo,
                      const SimulatedAdapter::Identification& identification)
{
    Judgement judgement;
    switch (operation) {
    case ServoOperation::ReadConfig: {
        Registers record{};
        judgement.succeeded = ReadConfig(comm, record);
        if (judgement.succeeded)
            judgement.wrong = CompareConfig("read", record, servo());
        break;
    }
    case ServoOperation::WriteConfig: {
        const Registers target = Changed(servo());
        const bool written = WithAttempts(
            [&] { return comm.WriteRegisters(target, ConfigMask, static_cast<std::int32_t>(ConfigMask.size())); });
        if (written)
            judgement.wrong = CompareConfig("written", target, servo());
        Registers readBack{};
        judgement.succeeded = written && ReadConfig(comm, readBack);
        if (judgement.succeeded && judgement.wrong.empty())
            judgement.wrong = CompareConfig("read back", readBack, servo());
        break;
    }
    case ServoOperation::Initialize: {
        const Registers target = Changed(servo());
        std::array<std::uint8_t, 17> block{};
        std::copy(target.begin(), target.end(), block.begin());
        judgement.succeeded = WithAttempts([&] { return comm.WriteBlock(block); });
        if (judgement.succeeded && servo() != target)
            judgement.wrong = "block reported sent, servo holds " + Hex(servo());
        break;
    }
    case ServoOperation::Identify: {
        IdentificationBytes got{};
        judgement.succeeded = IdentifyAdapter(comm, got) != AdapterIdentity::NoAnswer;
        if (judgement.succeeded && !std::equal(got.begin(), got.end(), identification.begin()))
            judgement.wrong = "identification " + Hex(got);
        break;
    }
    }
    return judgement;
}

}  // namespace rvz::test
