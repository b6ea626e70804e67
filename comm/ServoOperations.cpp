#include "ServoOperations.h"

namespace rvz {

namespace {

constexpr auto kConfigCount = static_cast<std::int32_t>(ConfigMask.size());

OperationResult Outcome(bool ok, const TComm& comm) { return {ok, ok ? LinkFailure::None : comm.LastFailure()}; }

}  // namespace

OperationResult ReadConfig(TComm& comm, RegisterRecord& record)
{
    // Each attempt starts from a clean record, so nothing of a failed one stays.
    const bool read = WithAttempts([&] {
        record = {};
        return comm.ReadRegisters(record, ConfigMask, kConfigCount);
    });
    return Outcome(read, comm);
}

OperationResult WriteConfig(TComm& comm, const RegisterRecord& record)
{
    return Outcome(WithAttempts([&] { return comm.WriteRegisters(record, ConfigMask, kConfigCount); }), comm);
}

OperationResult SendBlock(TComm& comm, const RegisterRecord& record)
{
    std::array<std::uint8_t, protocol::kRegisterCount + 1> block{};  // the record, then 0x00
    std::copy(record.begin(), record.end(), block.begin());
    return Outcome(WithAttempts([&] { return comm.WriteBlock(block); }), comm);
}

Verification VerifyConfig(TComm& comm, const RegisterRecord& written)
{
    Verification verification;
    verification.read = ReadConfig(comm, verification.held);
    if (verification.read)
        for (std::size_t reg : kConfigRegisters)
            if (verification.held[reg] != written[reg])
                verification.differing.push_back(reg);
    return verification;
}

}  // namespace rvz
