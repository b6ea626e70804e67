// SPDX-License-Identifier: GPL-3.0-or-later
#include "LateReplySweep.h"

#include "ServoOperations.h"

#include <cstdio>

namespace rvz::test {

using Registers = SimulatedAdapter::Registers;

std::string HexText(std::span<const std::uint8_t> bytes)
{
    std::string text;
    char two[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(two, sizeof two, "%02X ", byte);
        text += two;
    }
    return text;
}

namespace {

// What a write puts on the servo: every register it reaches changed.
Registers Changed(Registers registers)
{
    for (std::size_t i = 1; i < registers.size(); ++i)
        registers[i] = static_cast<std::uint8_t>(registers[i] ^ 0x5A);
    return registers;
}

std::string CompareConfig(const char* what, const Registers& got, const Registers& held)
{
    for (std::size_t reg : kConfigRegisters)
        if (got[reg] != held[reg])
            return std::string(what) + " " + HexText(got) + "where the servo holds " + HexText(held);
    return {};
}

}  // namespace

std::string RowName(const ::testing::TestParamInfo<LateRow>& row)
{
    constexpr const char* kNames[] = {"ReadConfig", "WriteConfig", "Initialize", "Identify"};
    const LateRow& r = row.param;
    return std::string(kNames[static_cast<int>(r.operation)]) + "_" + std::to_string(r.delay.count()) + "ms" +
           (r.jitter.count() ? "_jitter" + std::to_string(r.jitter.count()) : "");
}

std::vector<LateRow> SweepRows(const std::vector<int>& delaysMs, const std::vector<std::pair<int, int>>& jittered)
{
    std::vector<LateRow> rows;
    for (ServoOperation operation : {ServoOperation::ReadConfig, ServoOperation::WriteConfig,
                                     ServoOperation::Initialize, ServoOperation::Identify}) {
        for (int delay : delaysMs)
            rows.push_back({operation, LinkTime{delay}, LinkTime{0}});
        for (auto [delay, jitter] : jittered)
            rows.push_back({operation, LinkTime{delay}, LinkTime{jitter}});
    }
    return rows;
}

Judgement RunAndJudge(ServoOperation operation, TComm& comm, const std::function<Registers()>& servo,
                      const SimulatedAdapter::Identification& identification, const std::optional<Registers>& sent)
{
    Judgement judgement;
    const Registers before = servo();
    const Registers target = sent.value_or(Changed(before));
    switch (operation) {
    case ServoOperation::ReadConfig: {
        Registers record{};
        judgement.succeeded = ReadConfig(comm, record).ok;
        if (judgement.succeeded)
            judgement.wrong = CompareConfig("read", record, servo());
        break;
    }
    case ServoOperation::WriteConfig: {
        const bool written = WriteConfig(comm, target).ok;
        // The registers of the mask as sent, the others as they were.
        Registers expected = before;
        for (std::size_t reg : kConfigRegisters)
            expected[reg] = target[reg];
        if (written && servo() != expected)
            judgement.wrong = "written " + HexText(expected) + "where the servo holds " + HexText(servo());
        Registers readBack{};
        judgement.succeeded = written && ReadConfig(comm, readBack).ok;
        if (judgement.succeeded && judgement.wrong.empty())
            judgement.wrong = CompareConfig("read back", readBack, servo());
        break;
    }
    case ServoOperation::Initialize: {
        judgement.succeeded = SendBlock(comm, target).ok;
        if (judgement.succeeded && servo() != target)
            judgement.wrong = "block reported sent, servo holds " + HexText(servo());
        break;
    }
    case ServoOperation::Identify: {
        IdentificationBytes got{};
        judgement.succeeded = IdentifyAdapter(comm, got) != AdapterIdentity::NoAnswer;
        if (judgement.succeeded && !std::equal(got.begin(), got.end(), identification.begin()))
            judgement.wrong = "identification " + HexText(got);
        break;
    }
    }
    return judgement;
}

}  // namespace rvz::test
