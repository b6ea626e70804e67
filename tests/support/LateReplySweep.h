#pragma once
// The operations the window and the command line run, each with its three
// attempts, judged against what the servo really holds: a failure is fine,
// a success must carry exactly the servo's values. Shared by the sweeps
// over the simulated adapter and over the virtual USB adapter.

#include <functional>
#include <string>

#include "Attempts.h"
#include "Comm.h"
#include "SimulatedAdapter.h"

namespace rvz::test {

enum class ServoOperation { ReadConfig, WriteConfig, Initialize, Identify };

const char* NameOf(ServoOperation operation);

// Registers that differ from each other, so that a reply taken for the
// wrong register shows; the bank stays 0.
inline constexpr SimulatedAdapter::Registers kDistinctRegisters{0x00, 0x21, 0x32, 0x43, 0x54, 0x65, 0x01, 0x47,
                                                                0x9A, 0x8B, 0x0C, 0x1D, 0x2E, 0x3F, 0x05, 0xDC};

struct Judgement {
    bool succeeded = false;
    std::string wrong;  // empty unless a success carried values the servo does not hold
};

// servo gives the registers the servo holds now; identification is what
// the adapter answers to identify.
Judgement RunAndJudge(ServoOperation operation, TComm& comm,
                      const std::function<SimulatedAdapter::Registers()>& servo,
                      const SimulatedAdapter::Identification& identification);

}  // namespace rvz::test
