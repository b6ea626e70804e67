// SPDX-License-Identifier: GPL-3.0-or-later
// doctor: the diagnosis, and with --report everything the developers need
// to see in one file.
#include <nlohmann/json.hpp>

#include <sstream>

#include "Commands.h"
#include "ExitCodes.h"
#include "OutputFiles.h"
#include "RecordJson.h"
#include "ServoValues.h"
#include "SystemFacts.h"
#include "UsbAdapters.h"

namespace rvz::cli {

namespace {

// The system, the adapter's node and descriptors, the diagnosis, and a
// trace of one identify, probe and read with every bridge call.
std::string Report(RunContext& run, const Diagnosis& diagnosis, UsbBridge& bridge)
{
    std::ostringstream report;
    report << kProgram << " " << kVersion << " doctor report\n\n";
    const SystemFacts& facts = run.services.Facts();
    report << "system: " << facts.OperatingSystem() << "\n";
    report << "user: " << facts.UserAndGroups() << "\n";
    if (UsbHost* usb = run.services.Usb(run.options.demo)) {
        report << "udev rule installed: " << (facts.UdevRuleInstalled() ? "yes" : "no") << "\n";
        report << "libusb: " << usb->Version() << "\n";
    }
    if (diagnosis.device) {
        const DeviceNodeFacts node = facts.DeviceNode(diagnosis.device->bus, diagnosis.device->address);
        report << "adapter: " << UsbIdText(*diagnosis.device) << " at " << node.path << " " << node.mode << " "
               << node.owner << ":" << node.group
               << (node.readable ? " (you may open it)" : " (you may not open it)") << "\n";
        report << "descriptors: " << HexBytes(facts.RawDescriptors(diagnosis.device->bus, diagnosis.device->address))
               << "\n";
    }
    if (diagnosis.identification)
        report << "identification: " << HexBytes(*diagnosis.identification) << "\n";
    report << "\ndiagnosis:\n" << DescribeDiagnosis(diagnosis);

    report << "\ntrace of one identify, probe and read (time since start, duration, status, call):\n";
    TracingBridge traced(bridge, report);
    TComm comm(traced, run.services.Clock());
    // The report's exchanges are the program's own operations: a device
    // that is not ours gets its identification and nothing more, and a
    // read is shown only once it is sure to be the servo's.
    const Connection link = Connect(comm, true);
    if (link.stage == LinkStage::NoSession) {
        report << "(no adapter session could be opened: " << DescribeLinkFailure(link.failure)
               << "; there is nothing more to trace)\n";
        return report.str();
    }
    TServoConfig record;
    if (link.stage == LinkStage::ServoAnswers && ReadConfig(comm, record.Bytes))
        report << "\nread:\n" << DescribeRecord(record, false);
    return report.str();
}

}  // namespace

int RunDoctor(RunContext& run)
{
    const std::optional<std::string>& path = run.options.report;
    if (path && path->empty())
        return run.Fail({kExitBadArguments, "--report needs a file name"});
    // Checked before the diagnosis, written whole after it.
    if (path && *path != kStandardStream)
        if (auto refused = CheckCanWrite(*path, OutputMode::Replace))
            return run.Fail({kExitFileError, "the report \"" + *path + "\" " + *refused});

    UsbBridge& bridge = run.services.Bridge(run.options.demo);
    const Diagnosis diagnosis = RunDoctor(run.services.Usb(run.options.demo), bridge,
                                          run.services.LibraryStep(run.options.demo), run.services.Clock(),
                                          run.services.Facts());
    if (run.options.json) {
        nlohmann::json steps = nlohmann::json::array();
        for (const DoctorStep& step : diagnosis.steps)
            steps.push_back({{"what", step.what},
                             {"ok", step.ok},
                             {"warning", step.warning},
                             {"advice", step.ok && !step.warning ? "" : step.advice}});
        if (!run.Emit(JsonText({{"version", kVersion}, {"steps", steps}, {"exitCode", diagnosis.exitCode}}) + "\n"))
            return kExitFileError;
    } else if (!run.Emit(DescribeDiagnosis(diagnosis))) {
        return kExitFileError;
    }
    if (!path)
        return diagnosis.exitCode;

    const std::string report = Report(run, diagnosis, bridge);
    if (*path == kStandardStream)
        return run.Emit(report) ? diagnosis.exitCode : kExitFileError;
    if (auto failed = SaveTextFile(*path, report))
        return run.Fail({kExitFileError, "the report \"" + *path + "\" " + *failed});
    run.Instruct("report written to " + *path + ": please attach it to an issue");
    return diagnosis.exitCode;
}

}  // namespace rvz::cli
