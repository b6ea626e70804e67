#include "Cli.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "Attempts.h"
#include "Comm.h"
#include "Doctor.h"
#include "ExitCodes.h"
#include "NumberText.h"
#include "ParamFile.h"
#include "ServoValues.h"
#include "SystemFacts.h"
#include "TracingBridge.h"
#include "Utf8Path.h"

namespace rvz::cli {

namespace {

using namespace std::chrono_literals;
constexpr auto kPollInterval = 300ms;  // as the window polls

// Why the session's last operation failed, for a message.
std::string Reason(const TComm& comm) { return std::string(DescribeLinkFailure(comm.LastFailure())); }
constexpr const char* kProgram = "rivivev-uvezi-cli";

// One failure, as the one sentence a user reads, and its exit code.
struct Failure {
    int code;
    std::string message;
};

// What every command's options fill in.
struct Options {
    bool demo = false;
    std::string trace;
    bool json = false;
    bool verify = false;
    std::string file;    // the parameter file a command reads
    std::string output;  // -o
    std::vector<std::string> settings;
    int count = 0;
    std::string log;
    std::string report;
};

class Command {
public:
    Command(const Options& options, CliServices& services, std::ostream& out, std::ostream& err)
        : m_options(options), m_services(services), m_out(out), m_err(err), m_separator(UserDecimalSeparator())
    {
    }

    // Opens the trace file, if one was asked for; before any command runs.
    int Prepare()
    {
        const auto failure = OpenBridge();
        return failure ? Fail(*failure) : kExitOk;
    }
    int Detect();
    int Read();
    int Write();
    int Init();
    int Show();
    int Make();
    int Batch();
    int Doctor();

private:
    int Fail(const Failure& failure)
    {
        m_err << kProgram << ": " << failure.message << "\n";
        return failure.code;
    }
    void Warn(const std::string& warning) { m_err << kProgram << ": warning: " << warning << "\n"; }
    void Progress(const std::string& text)
    {
        if (m_services.ErrorIsTerminal())
            m_err << text << "\n";
    }

    // The bridge of this run, traced when asked.
    std::optional<Failure> OpenBridge();
    UsbBridge& Bridge() { return m_traced ? *m_traced : m_services.Bridge(m_options.demo); }
    // Opens a session and identifies the adapter, as the window's poll does.
    std::optional<Failure> Connect(TComm& comm);
    // The record from the file and the settings, built as the window builds
    // it from its fields; warnings go to standard error.
    std::optional<Failure> BuildRecord(TServoConfig& record, bool fileRequired);
    // The record to send, then a session with the adapter: nothing is sent
    // before both are ready.
    std::optional<Failure> PrepareToSend(TComm& comm, TServoConfig& record);
    std::optional<Failure> ReadRecord(TComm& comm, TServoConfig& record);
    std::optional<Failure> WriteRecord(TComm& comm, const TServoConfig& record);
    std::optional<Failure> Verify(TComm& comm, const TServoConfig& written);
    std::optional<Failure> SaveFile(const std::string& file, const TServoConfig& record);
    void Print(const TServoConfig& record, bool withSignal);
    bool ServoAnswers(TComm& comm, bool& identified);

    const Options& m_options;
    CliServices& m_services;
    std::ostream& m_out;
    std::ostream& m_err;
    const char m_separator;
    std::ofstream m_traceFile;
    std::unique_ptr<TracingBridge> m_traced;
};

std::optional<Failure> Command::OpenBridge()
{
    if (m_options.trace.empty())
        return std::nullopt;
    m_traceFile.open(PathFromUtf8(m_options.trace), std::ios::app);
    if (!m_traceFile)
        return Failure{kExitFileError, "cannot write the trace file \"" + m_options.trace + "\"; choose another path"};
    m_traced = std::make_unique<TracingBridge>(m_services.Bridge(m_options.demo), m_traceFile);
    return std::nullopt;
}

std::optional<Failure> Command::Connect(TComm& comm)
{
    if (!comm.OpenAdapter())
        return Failure{kExitNoAdapter, Reason(comm) + ": run '" + std::string(kProgram) + " doctor' to see why"};
    IdentificationBytes identification{};
    switch (IdentifyAdapter(comm, identification)) {
    case AdapterIdentity::Ours:
        return std::nullopt;
    case AdapterIdentity::NoAnswer:
        return Failure{kExitWrongAdapter, "the adapter does not answer its identification (" + Reason(comm) +
                                              "): plug it in again and retry"};
    case AdapterIdentity::OtherKind:
        return Failure{kExitWrongAdapter, "the attached device is not a servo adapter (identification " +
                                              HexBytes(identification) + "); attach the servo's adapter"};
    }
    return std::nullopt;
}

std::optional<Failure> Command::BuildRecord(TServoConfig& record, bool fileRequired)
{
    if (fileRequired && m_options.file.empty() && m_options.settings.empty())
        return Failure{kExitBadArguments, "give a parameter file or --set NAME=VALUE (see --help)"};
    TServoFields fields;
    if (!m_options.file.empty()) {
        TServoConfig fromFile;
        const ParamFileResult read = ReadParamFile(PathFromUtf8(m_options.file), fromFile);
        if (!read)
            return Failure{kExitFileError, "\"" + m_options.file + "\": " + DescribeParamFileError(read)};
        fields = FieldsFromRecord(fromFile, m_separator);
    }
    if (const auto bad = ApplySettings(fields, m_options.settings))
        return Failure{kExitBadArguments, "cannot apply \"" + *bad +
                                              "\": use NAME=VALUE with NAME one of deadband, lock (Y or N), upper, "
                                              "lower, neutral, signal"};
    try {
        record = BuildConfig(fields, m_separator);
    } catch (const ConversionError& error) {
        return Failure{kExitBadArguments, error.what()};
    }
    for (const std::string& warning : FieldWarnings(fields, record, m_separator))
        Warn(warning);
    return std::nullopt;
}

std::optional<Failure> Command::ReadRecord(TComm& comm, TServoConfig& record)
{
    const bool read = WithAttempts([&] {
        record = TServoConfig{};
        return comm.ReadRegisters(record.Bytes, ConfigMask, static_cast<std::int32_t>(ConfigMask.size()));
    });
    if (!read)
        return Failure{kExitFailed, "the read failed after 3 attempts: " + Reason(comm)};
    return std::nullopt;
}

std::optional<Failure> Command::WriteRecord(TComm& comm, const TServoConfig& record)
{
    if (!WithAttempts([&] { return comm.WriteRegisters(record.Bytes, ConfigMask, static_cast<std::int32_t>(ConfigMask.size())); }))
        return Failure{kExitFailed, "the write failed after 3 attempts: " + Reason(comm)};
    return std::nullopt;
}

std::optional<Failure> Command::Verify(TComm& comm, const TServoConfig& written)
{
    TServoConfig read;
    if (auto failure = ReadRecord(comm, read))
        return Failure{kExitFailed, "written, but the read-back failed: " + failure->message};
    std::string differences;
    char line[48];
    for (int reg : kFieldRegisters) {
        const auto i = static_cast<std::size_t>(reg);
        if (read.Bytes[i] == written.Bytes[i])
            continue;
        std::snprintf(line, sizeof line, "%sregister %02X wrote %02X read %02X", differences.empty() ? "" : ", ", reg,
                      written.Bytes[i], read.Bytes[i]);
        differences += line;
    }
    if (!differences.empty())
        return Failure{kExitMismatch, "the servo kept other values (" + differences + "); write again or replace the servo"};
    return std::nullopt;
}

std::optional<Failure> Command::SaveFile(const std::string& file, const TServoConfig& record)
{
    const ParamFileResult written = WriteParamFile(PathFromUtf8(file), record);
    if (!written)
        return Failure{kExitFileError, "\"" + file + "\": " + DescribeParamFileError(written)};
    return std::nullopt;
}

void Command::Print(const TServoConfig& record, bool withSignal)
{
    if (m_options.json)
        m_out << RecordJson(record, withSignal, m_separator).dump() << "\n";
    else
        m_out << DescribeRecord(record, withSignal, m_separator);
}

int Command::Detect()
{
    TComm comm(Bridge());
    if (!comm.OpenAdapter()) {
        m_out << "no adapter: " << Reason(comm) << "\n";
        return kExitNoAdapter;
    }
    IdentificationBytes identification{};
    const AdapterIdentity identity = IdentifyAdapter(comm, identification);
    if (identity == AdapterIdentity::NoAnswer) {
        m_out << "adapter attached, but it does not answer its identification: " << Reason(comm) << "\n";
        return kExitWrongAdapter;
    }
    if (identity == AdapterIdentity::OtherKind) {
        m_out << "a device that is not a servo adapter: identification " << HexBytes(identification) << "\n";
        return kExitWrongAdapter;
    }
    m_out << "servo adapter: identification " << HexBytes(identification) << "\n";
    const bool servo = WithAttempts([&] { return comm.ProbeServo(); });
    m_out << (servo ? "a servo answers\n" : "no servo answers: " + Reason(comm) + "\n");
    return servo ? kExitOk : kExitNoServo;
}

int Command::Read()
{
    TComm comm(Bridge());
    if (auto failure = Connect(comm))
        return Fail(*failure);
    TServoConfig record;
    if (auto failure = ReadRecord(comm, record))
        return Fail(*failure);
    Print(record, false);
    if (!m_options.output.empty()) {
        // The neutral signal is not among the registers read; the file gets
        // the window's starting value, as Save after Read Config would.
        TServoFields fields = FieldsFromRecord(record, m_separator);
        fields.Signal = std::to_string(kDefaultSignal);
        if (auto failure = SaveFile(m_options.output, BuildConfig(fields, m_separator)))
            return Fail(*failure);
    }
    return kExitOk;
}

std::optional<Failure> Command::PrepareToSend(TComm& comm, TServoConfig& record)
{
    if (auto failure = BuildRecord(record, true))
        return failure;
    return Connect(comm);
}

int Command::Write()
{
    TServoConfig record;
    TComm comm(Bridge());
    if (auto failure = PrepareToSend(comm, record))
        return Fail(*failure);
    if (auto failure = WriteRecord(comm, record))
        return Fail(*failure);
    if (m_options.verify)
        if (auto failure = Verify(comm, record))
            return Fail(*failure);
    m_out << (m_options.verify ? "written and verified\n" : "written\n");
    return kExitOk;
}

int Command::Init()
{
    TServoConfig record;
    TComm comm(Bridge());
    if (auto failure = PrepareToSend(comm, record))
        return Fail(*failure);
    std::array<std::uint8_t, TServoConfig::kSize + 1> block{};  // the record, then 0x00
    std::copy(record.Bytes.begin(), record.Bytes.end(), block.begin());
    if (!WithAttempts([&] { return comm.WriteBlock(block); }))
        return Fail({kExitFailed, "the parameter block failed after 3 attempts: " + Reason(comm)});
    m_out << "parameter block sent\n";
    return kExitOk;
}

int Command::Show()
{
    TServoConfig record;
    const ParamFileResult read = ReadParamFile(PathFromUtf8(m_options.file), record);
    if (!read)
        return Fail({kExitFileError, "\"" + m_options.file + "\": " + DescribeParamFileError(read)});
    Print(record, true);
    return kExitOk;
}

int Command::Make()
{
    TServoConfig record;
    if (auto failure = BuildRecord(record, false))
        return Fail(*failure);
    if (auto failure = SaveFile(m_options.output, record))
        return Fail(*failure);
    return kExitOk;
}

bool Command::ServoAnswers(TComm& comm, bool& identified)
{
    if (!comm.OpenAdapter()) {
        identified = false;
        return false;
    }
    if (!identified) {
        IdentificationBytes identification{};
        identified = IdentifyAdapter(comm, identification) == AdapterIdentity::Ours;
    }
    return identified && comm.ProbeServo();
}

int Command::Batch()
{
    TServoConfig record;
    if (auto failure = BuildRecord(record, true))
        return Fail(*failure);
    std::ofstream log;
    if (!m_options.log.empty()) {
        log.open(PathFromUtf8(m_options.log), std::ios::app);
        if (!log)
            return Fail({kExitFileError, "cannot append to the log \"" + m_options.log + "\"; choose another path"});
    }
    TComm comm(Bridge());
    bool identified = false;
    int done = 0;
    int failed = 0;
    for (int servo = 1; m_options.count <= 0 || servo <= m_options.count; ++servo) {
        Progress("waiting for servo " + std::to_string(servo) + " (Ctrl+C ends the batch)");
        while (!m_services.Interrupted() && !ServoAnswers(comm, identified))
            m_services.Pause(kPollInterval);
        if (m_services.Interrupted())
            break;

        auto failure = WriteRecord(comm, record);
        if (!failure && m_options.verify)
            failure = Verify(comm, record);
        const std::string result = failure ? "failed" : (m_options.verify ? "written and verified" : "written");
        m_out << "servo " << servo << ": " << result << (failure ? " (" + failure->message + ")" : "") << "\n";
        m_out.flush();
        (failure ? failed : done) += 1;
        if (log) {
            nlohmann::json line = RecordJson(record, true, m_separator);
            line["time"] = m_services.Now();
            line["servo"] = servo;
            line["result"] = result;
            if (failure)
                line["error"] = failure->message;
            log << line.dump() << "\n";
            log.flush();
        }

        m_services.ServoProgrammed();
        Progress("unplug servo " + std::to_string(servo));
        while (!m_services.Interrupted() && ServoAnswers(comm, identified))
            m_services.Pause(kPollInterval);
        if (m_services.Interrupted())
            break;
    }
    m_out << "done: " << done << ", failed: " << failed << "\n";
    return failed > 0 ? kExitFailed : kExitOk;
}

int Command::Doctor()
{
    std::ostringstream trace;
    UsbBridge& bridge = m_services.Bridge(m_options.demo);
    const Diagnosis diagnosis = RunDoctor(m_services.Usb(m_options.demo), bridge, m_services.LibraryStep(m_options.demo));
    m_out << DescribeDiagnosis(diagnosis);
    if (m_options.report.empty())
        return diagnosis.exitCode;

    std::ofstream report(PathFromUtf8(m_options.report));
    if (!report)
        return Fail({kExitFileError, "cannot write the report \"" + m_options.report + "\"; choose another path"});
    report << "rivivev-uvezi-cli doctor report\n\n";
    report << "system: " << OperatingSystem() << "\n";
    report << "user: " << UserAndGroups() << "\n";
    if (UsbHost* usb = m_services.Usb(m_options.demo)) {
        report << "udev rule installed: " << (UdevRuleInstalled() ? "yes" : "no") << "\n";
        report << "libusb: " << usb->Version() << "\n";
    }
    if (diagnosis.device) {
        const DeviceNodeFacts node = DeviceNode(diagnosis.device->bus, diagnosis.device->address);
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", diagnosis.device->vendorId, diagnosis.device->productId);
        report << "adapter: " << ids << " at " << node.path << " " << node.mode << " " << node.owner << ":" << node.group
               << (node.readable ? " (you may open it)" : " (you may not open it)") << "\n";
        report << "descriptors: " << HexBytes(RawDescriptors(diagnosis.device->bus, diagnosis.device->address)) << "\n";
    }
    if (diagnosis.identification)
        report << "identification: " << HexBytes(*diagnosis.identification) << "\n";
    report << "\ndiagnosis:\n" << DescribeDiagnosis(diagnosis);

    // One identify, probe and read, with every bridge call traced.
    report << "\ntrace of one identify, probe and read (time since start, duration, status, call):\n";
    TracingBridge traced(bridge, report);
    TComm comm(traced);
    if (comm.OpenAdapter()) {
        IdentificationBytes identification{};
        comm.QueryAdapterInfo(identification);
        comm.ProbeServo();
        TServoConfig record;
        if (comm.ReadRegisters(record.Bytes, ConfigMask, static_cast<std::int32_t>(ConfigMask.size())))
            report << "\nread:\n" << DescribeRecord(record, false, m_separator);
        comm.CloseAdapter();
    } else {
        report << "(no adapter session could be opened, so there is nothing more to trace)\n";
    }
    if (!report)
        return Fail({kExitFileError, "the report \"" + m_options.report + "\" could not be written in full"});
    m_err << "report written to " << m_options.report << ": please attach it to an issue\n";
    return diagnosis.exitCode;
}

// ---------------------------------------------------------------- arguments

void AddRecordInput(CLI::App& command, Options& options, bool withFile)
{
    if (withFile)
        command.add_option("file", options.file, "a parameter file (.svo) to start from");
    command.add_option("--set", options.settings,
                       "NAME=VALUE, NAME one of deadband, lock, upper, lower, neutral, signal; values are read as "
                       "the window's fields read them");
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, CliServices& services, std::ostream& out, std::ostream& err)
{
    Options options;
    CLI::App app{"Sets up a programmable digital RC servo through its USB adapter.", kProgram};
    app.require_subcommand(1);
    // Global options may stand before or after the command.
    app.fallthrough();
    app.add_flag("--demo", options.demo, "use the built-in simulated adapter and servo");
    app.add_option("--trace", options.trace, "append every bridge call with its bytes, status and duration to FILE");
    app.footer("Exit codes: 0 success, 2 bad arguments, 3 no adapter, 4 wrong adapter, 5 no servo, 6 operation "
               "failed, 7 verification mismatch, 8 file error.\nExample: rivivev-uvezi-cli --demo read --json");

    auto* detect = app.add_subcommand("detect", "poll once as the window does and say what is attached");
    detect->footer("Example: rivivev-uvezi-cli detect");

    auto* read = app.add_subcommand("read", "read the servo's configuration, as Read Config does");
    read->add_option("-o,--output", options.output, "also save it to a parameter file");
    read->add_flag("--json", options.json, "print JSON");
    read->footer("Example: rivivev-uvezi-cli read -o servo.svo");

    auto* write = app.add_subcommand("write", "write the configuration register by register, as Write Config does");
    AddRecordInput(*write, options, true);
    write->add_flag("--verify", options.verify, "read the registers back and compare them byte for byte");
    write->footer("Example: rivivev-uvezi-cli write --set neutral=1520 --verify");

    auto* init = app.add_subcommand("init", "send the whole parameter block with its CRC, as Initialize does");
    AddRecordInput(*init, options, true);
    init->footer("Example: rivivev-uvezi-cli init servo.svo");

    auto* show = app.add_subcommand("show", "show a parameter file");
    show->add_option("file", options.file, "the parameter file")->required();
    show->add_flag("--json", options.json, "print JSON");
    show->footer("Example: rivivev-uvezi-cli show servo.svo --json");

    auto* make = app.add_subcommand("make", "make a parameter file from values, without an adapter");
    AddRecordInput(*make, options, false);
    make->add_option("-o,--output", options.output, "the parameter file to write")->required();
    make->footer("Example: rivivev-uvezi-cli make --set neutral=1520 --set lower=950 -o servo.svo");

    auto* batch = app.add_subcommand("batch", "program servo after servo: plug one in, wait, unplug it, plug the next");
    AddRecordInput(*batch, options, true);
    batch->add_flag("--verify", options.verify, "verify each servo");
    batch->add_option("--count", options.count, "stop after N servos (default: until Ctrl+C)")->check(CLI::PositiveNumber);
    batch->add_option("--log", options.log, "append one JSON line per servo to FILE");
    batch->footer("Example: rivivev-uvezi-cli batch servo.svo --verify --count 20 --log workshop.jsonl");

    auto* doctor = app.add_subcommand("doctor", "find out step by step why the adapter is not usable");
    doctor->add_option("--report", options.report, "write a report for the developers to FILE");
    doctor->footer("Example: rivivev-uvezi-cli doctor --report report.txt");

    std::vector<const char*> argv{kProgram};
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp&) {
        out << (app.get_subcommands().empty() ? app.help() : app.get_subcommands().front()->help());
        return kExitOk;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        const std::string which = app.get_subcommands().empty() ? "" : " " + app.get_subcommands().front()->get_name();
        err << kProgram << ": " << error.what() << "; run '" << kProgram << which << " --help' for usage\n";
        return kExitBadArguments;
    }

    Command command(options, services, out, err);
    if (const int prepared = command.Prepare(); prepared != kExitOk)
        return prepared;
    if (detect->parsed())
        return command.Detect();
    if (read->parsed())
        return command.Read();
    if (write->parsed())
        return command.Write();
    if (init->parsed())
        return command.Init();
    if (show->parsed())
        return command.Show();
    if (make->parsed())
        return command.Make();
    if (batch->parsed())
        return command.Batch();
    return command.Doctor();
}

}  // namespace rvz::cli
