#include "ServoOperations.h"

namespace rvz {

namespace {

constexpr auto kConfigCount = static_cast<std::int32_t>(ConfigMask.size());

OperationResult Outcome(bool ok, const TComm& comm) { return {ok, ok ? LinkFailure::None : comm.LastFailure()}; }

}  // namespace

namespace {

AdapterIdentity AskIdentity(TComm& comm, IdentificationBytes& identification)
{
    if (!WithAttempts(comm, [&] { return comm.QueryAdapterInfo(identification); }))
        return AdapterIdentity::NoAnswer;
    return identification[protocol::kIdentificationKeyIndex] == protocol::kIdentificationKey
               ? AdapterIdentity::Ours
               : AdapterIdentity::OtherKind;
}

}  // namespace

AdapterIdentity IdentifyAdapter(TComm& comm, IdentificationBytes& identification)
{
    AdapterIdentity identity = AskIdentity(comm, identification);
    // A reply that a program which ended left on its way may have come with
    // the identification: it is asked once more on a quiet link before a
    // device is called a wrong one.
    if (identity != AdapterIdentity::Ours && comm.QuietenLink())
        identity = AskIdentity(comm, identification);
    if (identity != AdapterIdentity::Ours)
        comm.RejectAdapter();
    return identity;
}

OperationResult ReadConfig(TComm& comm, RegisterRecord& record)
{
    // Each attempt starts from a clean record, so nothing of a failed one stays.
    const bool read = WithAttempts(comm, [&] {
        record = {};
        return comm.ReadRegisters(record, ConfigMask, kConfigCount);
    });
    return Outcome(read, comm);
}

OperationResult WriteConfig(TComm& comm, const RegisterRecord& record)
{
    return Outcome(WithAttempts(comm, [&] { return comm.WriteRegisters(record, ConfigMask, kConfigCount); }), comm);
}

OperationResult SendBlock(TComm& comm, const RegisterRecord& record)
{
    std::array<std::uint8_t, protocol::kRegisterCount + 1> block{};  // the record, then 0x00
    std::copy(record.begin(), record.end(), block.begin());
    return Outcome(WithAttempts(comm, [&] { return comm.WriteBlock(block); }), comm);
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
