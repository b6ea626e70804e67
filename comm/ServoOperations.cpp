// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServoOperations.h"

namespace rvz {

namespace {

constexpr auto kConfigCount = static_cast<std::int32_t>(ConfigMask.size());

OperationResult Outcome(bool ok, const TComm& comm) { return {ok, ok ? LinkFailure::None : comm.LastFailure()}; }

}  // namespace

namespace {

AdapterIdentity AskIdentity(TComm& comm, IdentificationBytes& identification, LinkFailure& unanswered)
{
    if (!WithAttempts(comm, [&] { return comm.QueryAdapterInfo(identification); })) {
        unanswered = comm.LastFailure();
        return AdapterIdentity::NoAnswer;
    }
    return identification[protocol::kIdentificationKeyIndex] == protocol::kIdentificationKey
               ? AdapterIdentity::Ours
               : AdapterIdentity::OtherKind;
}

}  // namespace

AdapterIdentity IdentifyAdapter(TComm& comm, IdentificationBytes& identification)
{
    LinkFailure unanswered = LinkFailure::None;  // why the last ask went unanswered
    AdapterIdentity identity = AskIdentity(comm, identification, unanswered);
    // Stopped before the adapter was asked: it is neither asked again nor
    // judged, and the session is left to its closing.
    if (unanswered == LinkFailure::Interrupted)
        return identity;
    // A device pulled out while it was asked is neither asked again nor
    // rejected: the count has closed its session.
    const auto gone = [&] { return identity != AdapterIdentity::Ours && !comm.OpenAdapter(); };
    if (gone())
        return identity;
    // A reply that a program which ended left on its way may have come with
    // the identification: it is asked once more on a quiet link before a
    // device is called a wrong one.
    if (identity != AdapterIdentity::Ours && comm.QuietenLink())
        identity = AskIdentity(comm, identification, unanswered);
    if (comm.LastFailure() == LinkFailure::Interrupted)
        return identity;
    else if (identity == AdapterIdentity::NoAnswer && comm.LastFailure() != LinkFailure::None)
        unanswered = comm.LastFailure();  // the link never went quiet
    if (gone())
        return identity;
    if (identity == AdapterIdentity::Ours)
        comm.NoteIdentified();
    else
        comm.RejectAdapter(identity == AdapterIdentity::OtherKind ? LinkFailure::NotOurs : unanswered);
    return identity;
}

Connection Connect(TComm& comm, bool probeServo)
{
    Connection connection;
    if (!comm.OpenAdapter()) {
        connection.failure = comm.LastFailure();
        return connection;
    }
    if (!comm.Identified()) {
        IdentificationBytes identification{};
        const AdapterIdentity identity = IdentifyAdapter(comm, identification);
        if (identity != AdapterIdentity::NoAnswer)
            connection.identification = identification;
        if (identity != AdapterIdentity::Ours) {
            connection.failure = identity == AdapterIdentity::OtherKind ? LinkFailure::NotOurs : comm.LastFailure();
            // An adapter pulled out while it was asked is no adapter, not a wrong one.
            const bool gone = connection.failure == LinkFailure::AdapterGone ||
                              connection.failure == LinkFailure::NoAdapter;
            connection.stage = identity == AdapterIdentity::OtherKind ? LinkStage::NotOurs
                               : gone                                 ? LinkStage::NoSession
                                                                      : LinkStage::NoAnswer;
            return connection;
        }
    }
    connection.stage = LinkStage::Identified;
    if (!probeServo)
        return connection;
    if (!WithAttempts(comm, [&] { return comm.ProbeServo(); })) {
        connection.failure = comm.LastFailure();
        return connection;
    }
    connection.stage = LinkStage::ServoAnswers;
    return connection;
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

OperationResult SendAndConfirm(TComm& comm, const RegisterRecord& record, bool block)
{
    const OperationResult sent = block ? SendBlock(comm, record) : WriteConfig(comm, record);
    if (!sent)
        return sent;
    const Verification check = VerifyConfig(comm, record);
    if (!check.read)
        return check.read;
    return check.differing.empty() ? OperationResult{true, LinkFailure::None}
                                   : OperationResult{false, LinkFailure::NotHeld};
}

}  // namespace rvz
