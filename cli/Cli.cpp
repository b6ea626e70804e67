#include "Cli.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>

#include "AdapterUsbBridge.h"
#include "Attempts.h"
#include "Comm.h"
#include "Doctor.h"
#include "ExitCodes.h"
#include "NumberText.h"
#include "OutputFiles.h"
#include "ParamFile.h"
#include "ServoOperations.h"
#include "ServoValues.h"
#include "SystemFacts.h"
#include "TracingBridge.h"
#include "Utf8Path.h"

namespace rvz::cli {

namespace {

using namespace std::chrono_literals;
constexpr auto kPollInterval = 300ms;  // as the window polls
constexpr const char* kProgram = "rivivev-uvezi-cli";
constexpr const char* kCommands[] = {"detect", "read", "write", "init", "show", "make", "batch", "doctor"};
// What a script reads for standard input or output in place of a file name.
constexpr const char* kStandardStream = "-";
constexpr int kExitInterrupted = 130;

// A record read from the servo as Save after Read Config stores it: the
// neutral signal is not among the registers read, so the window's starting
// value stands in.
TServoConfig AsSavedAfterRead(const TServoConfig& read)
{
    TServoFields fields = FieldsFromRecord(read);
    fields.Signal = std::to_string(kDefaultSignal);
    return BuildConfig(fields, kCliSeparator);
}

// Why the session's last operation failed, for a message.
std::string Reason(LinkFailure failure) { return std::string(DescribeLinkFailure(failure)); }
std::string Reason(const TComm& comm) { return Reason(comm.LastFailure()); }

// One failure, as the one sentence a user reads, and its exit code.
struct Failure {
    int code;
    std::string message;
};

// What every command's options fill in.
struct Options {
    bool demo = false;
    std::string trace;
    bool traceGiven = false;
    bool json = false;
    bool jsonInput = false;  // the file of write, init and batch is JSON
    bool verify = false;
    bool lenient = false;
    bool force = false;
    std::string file;    // the parameter file a command reads
    std::string output;  // -o
    std::string backup;
    std::vector<std::string> settings;
    int count = 0;
    std::string log;
    std::string report;
};

class Command {
public:
    Command(const Options& options, const std::vector<std::string>& arguments, CliServices& services,
            std::ostream& out, std::ostream& err)
        : m_options(options), m_arguments(arguments), m_services(services), m_out(out), m_err(err)
    {
    }

    // Opens the trace file, if one was asked for; before any command runs.
    std::optional<Failure> Prepare();
    // What a command returned, made to fail when its output was lost.
    int Finish(int code);

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
    // Writes a result to standard output; false (and an error) when it is lost.
    bool Emit(const std::string& text);

    // The bridge of this run, traced when asked.
    UsbBridge& Bridge() { return m_traced ? *m_traced : m_services.Bridge(m_options.demo); }
    // Closes a session; says so when the link must first fall quiet.
    struct SessionCloser {
        Command* command;
        void operator()(TComm* comm) const;
    };
    using SessionPtr = std::unique_ptr<TComm, SessionCloser>;
    // A session whose every command first asks whether Ctrl+C was pressed.
    SessionPtr Session();
    // Opens a session and identifies the adapter, as the window's poll does.
    std::optional<Failure> Connect(TComm& comm);
    // Why no session could be opened, and its exit code.
    Failure OpenFailure(const TComm& comm);
    // The programs that hold the adapter, for a message; empty when unknown.
    std::string Holders();

    // The values to send: those the servo holds (base), or the file's, then
    // the settings; refused when one would not be stored as given, unless
    // --lenient. needsSignal: the neutral signal is among what is sent.
    std::optional<Failure> CheckedRecord(const std::optional<TServoConfig>& servo, bool needsSignal,
                                         TServoConfig& record);
    std::optional<Failure> ReadParameterFile(const std::string& file, TServoConfig& record);
    std::optional<Failure> SaveParameterFile(const std::string& file, const TServoConfig& record);
    std::optional<Failure> ReadFromServo(TComm& comm, TServoConfig& record);
    // The arguments of a command that sends a record, before the adapter is
    // touched; sendsSignal: only init may be given the neutral signal.
    std::optional<Failure> CheckSendArguments(bool sendsSignal);
    // A session, what the servo holds (before), the record to send, and the
    // backup: nothing is sent before all of them are ready.
    std::optional<Failure> PrepareToSend(TComm& comm, bool sendsSignal, TServoConfig& before, TServoConfig& record);
    std::optional<Failure> KeepBackup(const TServoConfig& before);
    std::optional<Failure> WriteAndVerify(TComm& comm, const TServoConfig& record);
    std::optional<Failure> Verified(TComm& comm, const TServoConfig& written);
    bool Print(const TServoConfig& record, bool withSignal);
    bool ServoAnswers(TComm& comm, bool& identified);
    bool Interrupted() { return m_services.Interrupted(); }
    std::string InputText(const std::string& file, bool& ok);

    const Options& m_options;
    const std::vector<std::string>& m_arguments;
    CliServices& m_services;
    std::ostream& m_out;
    std::ostream& m_err;
    std::ofstream m_traceFile;
    std::unique_ptr<TracingBridge> m_traced;
    bool m_outputLost = false;
};

std::optional<Failure> Command::Prepare()
{
    if (!m_options.traceGiven)
        return std::nullopt;
    if (m_options.trace.empty())
        return Failure{kExitBadArguments, "--trace needs a file name"};
    if (auto refused = OpenTextOutput(m_options.trace, OutputMode::Append, m_traceFile))
        return Failure{kExitFileError, "the trace \"" + m_options.trace + "\" " + *refused};
    // Each run's trace starts with what ran, and when.
    std::string line = std::string("# ") + kProgram + " " + kVersion + ", " + m_services.Now() + ":";
    for (const std::string& argument : m_arguments)
        line += " " + argument;
    m_traceFile << line << "\n";
    m_traced = std::make_unique<TracingBridge>(m_services.Bridge(m_options.demo), m_traceFile);
    return std::nullopt;
}

int Command::Finish(int code)
{
    // Whatever a command was doing when Ctrl+C came, it stopped sending.
    if (Interrupted() && code != kExitOk)
        code = kExitInterrupted;
    if (m_traced) {
        m_traceFile.flush();
        if (!m_traceFile && code != kExitFileError)
            return Fail({kExitFileError, "the trace \"" + m_options.trace + "\" could not be written in full"});
    }
    if (m_outputLost && code != kExitFileError)
        return kExitFileError;
    return code;
}

bool Command::Emit(const std::string& text)
{
    if (m_outputLost)
        return false;
    m_out << text;
    m_out.flush();
    if (m_out)
        return true;
    m_outputLost = true;
    Fail({kExitFileError, "standard output could not be written (is the disk full, or the pipe closed?)"});
    return false;
}

Command::SessionPtr Command::Session()
{
    SessionPtr comm(new TComm(Bridge()), SessionCloser{this});
    comm->SetInterruption([this] { return Interrupted(); });
    return comm;
}

void Command::SessionCloser::operator()(TComm* comm) const
{
    if (comm->AdapterHandle() != kNullHandle && comm->ReplyMayBeOnItsWay())
        command->Progress("waiting a second or two for replies still on their way, so that the next program does "
                          "not take them for its own (Ctrl+C again quits at once)");
    delete comm;
}

std::optional<Failure> Command::Connect(TComm& comm)
{
    if (!comm.OpenAdapter())
        return OpenFailure(comm);
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

Failure Command::OpenFailure(const TComm& comm)
{
    if (comm.LastFailure() == LinkFailure::Busy)
        return Failure{kExitBusy, Reason(comm) + Holders() + ": close it, or wait until it ends, and retry"};
    return Failure{kExitNoAdapter, Reason(comm) + ": run '" + std::string(kProgram) + " doctor' to see why"};
}

std::string Command::Holders()
{
    UsbHost* usb = m_services.Usb(m_options.demo);
    if (!usb)
        return {};
    const std::vector<UsbDeviceInfo> adapters = AttachedAdapters(*usb);
    return adapters.empty() ? std::string() : HoldersInParentheses(adapters.front().bus, adapters.front().address);
}

std::string Command::InputText(const std::string& file, bool& ok)
{
    ok = true;
    if (file == kStandardStream) {
        std::istream* in = m_services.Input();
        if (!in) {
            ok = false;
            return {};
        }
        return {std::istreambuf_iterator<char>(*in), std::istreambuf_iterator<char>()};
    }
    std::string text;
    ok = ReadTextInput(file, text);
    return text;
}

std::optional<Failure> Command::ReadParameterFile(const std::string& file, TServoConfig& record)
{
    if (file != kStandardStream) {
        const ParamFileResult read = ReadParamFile(PathFromUtf8(file), record);
        if (!read)
            return Failure{kExitFileError, "\"" + file + "\": " + DescribeParamFileError(read)};
        std::error_code error;
        const auto size = std::filesystem::file_size(PathFromUtf8(file), error);
        if (!error && size > TServoConfig::kSize)
            Warn("\"" + file + "\" is " + std::to_string(size) + " bytes long; only its first 16 are a parameter record");
        return std::nullopt;
    }
    bool ok = false;
    const std::string bytes = InputText(file, ok);
    if (!ok || bytes.size() < TServoConfig::kSize)
        return Failure{kExitFileError, "standard input holds " + std::to_string(bytes.size()) +
                                           " bytes; a parameter record is 16"};
    if (bytes.size() > TServoConfig::kSize)
        Warn("standard input holds " + std::to_string(bytes.size()) + " bytes; only the first 16 are a parameter record");
    std::copy_n(bytes.begin(), TServoConfig::kSize, record.Bytes.begin());
    return std::nullopt;
}

std::optional<Failure> Command::SaveParameterFile(const std::string& file, const TServoConfig& record)
{
    if (file == kStandardStream) {
        if (!Emit(std::string(record.Bytes.begin(), record.Bytes.end())))
            return Failure{kExitFileError, "the parameter record could not be written to standard output"};
        return std::nullopt;
    }
    if (auto refused = CheckParamFileTarget(file, m_options.force))
        return Failure{kExitFileError, "\"" + file + "\" " + *refused};
    const ParamFileResult written = WriteParamFile(PathFromUtf8(file), record);
    if (!written)
        return Failure{kExitFileError, "\"" + file + "\": " + DescribeParamFileError(written)};
    // An overwritten file keeps no tail of what it held before.
    std::error_code error;
    std::filesystem::resize_file(PathFromUtf8(file), TServoConfig::kSize, error);
    return std::nullopt;
}

std::optional<Failure> Command::ReadFromServo(TComm& comm, TServoConfig& record)
{
    if (const OperationResult read = ReadConfig(comm, record.Bytes); !read)
        return Failure{read.failure == LinkFailure::Interrupted ? kExitInterrupted : kExitFailed,
                       "the read failed after 3 attempts: " + Reason(read.failure)};
    return std::nullopt;
}

std::optional<Failure> Command::CheckedRecord(const std::optional<TServoConfig>& servo, bool needsSignal,
                                              TServoConfig& record)
{
    TServoFields fields;
    const bool fromFile = !m_options.file.empty();
    bool signalGiven = (fromFile && !m_options.jsonInput) || SetsSignal(m_options.settings);
    if (fromFile && m_options.jsonInput) {
        bool ok = false;
        const std::string text = InputText(m_options.file, ok);
        if (!ok)
            return Failure{kExitFileError, "\"" + m_options.file + "\" cannot be read"};
        if (servo)
            fields = FieldsFromRecord(*servo);
        std::vector<std::string> named;
        if (auto problem = FieldsFromJson(text, fields, &named))
            return Failure{kExitBadArguments, "\"" + m_options.file + "\": " + *problem};
        signalGiven = signalGiven || std::find(named.begin(), named.end(), "signal") != named.end();
    } else if (fromFile) {
        TServoConfig fromFileRecord;
        if (auto failure = ReadParameterFile(m_options.file, fromFileRecord))
            return failure;
        fields = FieldsFromRecord(fromFileRecord);
    } else if (servo) {
        fields = FieldsFromRecord(*servo);
    }
    if (needsSignal && !signalGiven)
        return Failure{kExitBadArguments, "the neutral signal cannot be read from the servo: give it with "
                                          "--set signal=US, or give a parameter file"};
    if (auto problem = ApplySettings(fields, m_options.settings))
        return Failure{kExitBadArguments, *problem};
    const std::vector<std::string> problems = FieldProblems(fields);
    if (!problems.empty() && !m_options.lenient) {
        std::string all;
        for (const std::string& problem : problems)
            all += (all.empty() ? "" : "; ") + problem;
        return Failure{kExitBadArguments, all + "; nothing was sent or saved (--lenient takes such values as the "
                                                "window does)"};
    }
    for (const std::string& problem : problems)
        Warn(problem);
    try {
        record = BuildConfig(fields, kCliSeparator);
    } catch (const ConversionError& error) {
        return Failure{kExitBadArguments, error.what()};
    }
    return std::nullopt;
}

std::optional<Failure> Command::KeepBackup(const TServoConfig& before)
{
    if (m_options.backup.empty())
        return std::nullopt;
    if (auto failure = SaveParameterFile(m_options.backup, AsSavedAfterRead(before)))
        return Failure{failure->code, "no backup, so nothing was sent: " + failure->message};
    return std::nullopt;
}

std::optional<Failure> Command::Verified(TComm& comm, const TServoConfig& written)
{
    const Verification check = VerifyConfig(comm, written.Bytes);
    if (!check.read)
        return Failure{kExitFailed, "written, but the read-back failed: " + Reason(check.read.failure)};
    std::string differences;
    char line[48];
    for (std::size_t reg : check.differing) {
        std::snprintf(line, sizeof line, "%sregister %02zX wrote %02X read %02X", differences.empty() ? "" : ", ", reg,
                      written.Bytes[reg], check.held[reg]);
        differences += line;
    }
    if (!differences.empty())
        return Failure{kExitMismatch, "the servo kept other values (" + differences + "); write again or replace the servo"};
    return std::nullopt;
}

std::optional<Failure> Command::WriteAndVerify(TComm& comm, const TServoConfig& record)
{
    if (const OperationResult written = WriteConfig(comm, record.Bytes); !written)
        return Failure{written.failure == LinkFailure::Interrupted ? kExitInterrupted : kExitFailed,
                       "the write failed after 3 attempts: " + Reason(written.failure)};
    if (m_options.verify)
        return Verified(comm, record);
    return std::nullopt;
}

bool Command::Print(const TServoConfig& record, bool withSignal)
{
    if (m_options.json)
        return Emit(RecordJson(record, withSignal).dump() + "\n");
    return Emit(DescribeRecord(record, withSignal));
}

int Command::Detect()
{
    const auto comm = Session();
    nlohmann::json result = {{"adapter", false}, {"identification", nullptr}, {"servo", false}, {"reason", nullptr}};
    auto report = [&](const std::string& text, int code) {
        if (code != kExitOk)
            result["reason"] = Reason(*comm);
        return (m_options.json ? Emit(result.dump() + "\n") : Emit(text)) ? code : kExitFileError;
    };
    if (!comm->OpenAdapter()) {
        const Failure failure = OpenFailure(*comm);
        return report((failure.code == kExitBusy ? "" : "no adapter: ") + failure.message + "\n", failure.code);
    }
    result["adapter"] = true;
    IdentificationBytes identification{};
    const AdapterIdentity identity = IdentifyAdapter(*comm, identification);
    if (identity == AdapterIdentity::NoAnswer)
        return report("adapter attached, but it does not answer its identification: " + Reason(*comm) + "\n",
                      kExitWrongAdapter);
    result["identification"] = HexBytes(identification);
    if (identity == AdapterIdentity::OtherKind)
        return report("a device that is not a servo adapter: identification " + HexBytes(identification) + "\n",
                      kExitWrongAdapter);
    const bool servo = WithAttempts(*comm, [&] { return comm->ProbeServo(); });
    result["servo"] = servo;
    const std::string text = "servo adapter: identification " + HexBytes(identification) + "\n" +
                             (servo ? "a servo answers\n" : "no servo answers: " + Reason(*comm) + "\n");
    return report(text, servo ? kExitOk : kExitNoServo);
}

int Command::Read()
{
    const auto comm = Session();
    if (auto failure = Connect(*comm))
        return Fail(*failure);
    TServoConfig record;
    if (auto failure = ReadFromServo(*comm, record))
        return Fail(*failure);
    if (!m_options.output.empty()) {
        if (auto failure = SaveParameterFile(m_options.output, AsSavedAfterRead(record)))
            return Fail(*failure);
        if (m_options.output == kStandardStream)
            return kExitOk;
    }
    return Print(record, false) ? kExitOk : kExitFileError;
}

int Command::Write()
{
    const auto comm = Session();
    TServoConfig before;
    TServoConfig record;
    if (auto failure = PrepareToSend(*comm, false, before, record))
        return Fail(*failure);
    if (auto failure = WriteAndVerify(*comm, record))
        return Fail(*failure);
    return Emit(m_options.verify ? "written and verified\n" : "written\n") ? kExitOk : kExitFileError;
}

std::optional<Failure> Command::CheckSendArguments(bool sendsSignal)
{
    TServoFields syntax;
    if (auto problem = ApplySettings(syntax, m_options.settings))
        return Failure{kExitBadArguments, *problem};
    if (m_options.file.empty() && m_options.settings.empty())
        return Failure{kExitBadArguments, "give a parameter file or --set NAME=VALUE (see --help)"};
    if (!sendsSignal && SetsSignal(m_options.settings))
        return Failure{kExitBadArguments, "only init sends the neutral signal: write and batch write as Write "
                                          "Config does, which leaves registers 0E and 0F alone"};
    return std::nullopt;
}

std::optional<Failure> Command::PrepareToSend(TComm& comm, bool sendsSignal, TServoConfig& before,
                                              TServoConfig& record)
{
    if (auto failure = CheckSendArguments(sendsSignal))
        return failure;
    if (auto failure = Connect(comm))
        return failure;
    // What the servo holds: the base for what is not asked for, and the backup.
    if (auto failure = ReadFromServo(comm, before))
        return failure;
    if (auto failure = CheckedRecord(before, sendsSignal, record))
        return failure;
    return KeepBackup(before);
}

int Command::Init()
{
    const auto comm = Session();
    TServoConfig before;
    TServoConfig record;
    if (auto failure = PrepareToSend(*comm, true, before, record))
        return Fail(*failure);
    if (const OperationResult sent = SendBlock(*comm, record.Bytes); !sent)
        return Fail({sent.failure == LinkFailure::Interrupted ? kExitInterrupted : kExitFailed,
                     "the parameter block failed after 3 attempts: " + Reason(sent.failure)});
    if (m_options.verify)
        if (auto failure = Verified(*comm, record))
            return Fail(*failure);
    return Emit(m_options.verify ? "parameter block sent and verified (the neutral signal cannot be read back)\n"
                                 : "parameter block sent\n")
               ? kExitOk
               : kExitFileError;
}

int Command::Show()
{
    TServoConfig record;
    if (auto failure = ReadParameterFile(m_options.file, record))
        return Fail(*failure);
    return Print(record, true) ? kExitOk : kExitFileError;
}

int Command::Make()
{
    TServoConfig record;
    if (auto failure = CheckedRecord(std::nullopt, false, record))
        return Fail(*failure);
    if (auto failure = SaveParameterFile(m_options.output, record))
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
    if (auto failure = CheckSendArguments(false))
        return Fail(*failure);
    std::ofstream log;
    if (!m_options.log.empty())
        if (auto refused = OpenTextOutput(m_options.log, OutputMode::Append, log))
            return Fail({kExitFileError, "the log \"" + m_options.log + "\" " + *refused});
    // With a file, every servo gets the same record, checked once before the first.
    std::optional<TServoConfig> fixed;
    if (!m_options.file.empty()) {
        fixed.emplace();
        if (auto failure = CheckedRecord(std::nullopt, false, *fixed))
            return Fail(*failure);
    }
    const auto comm = Session();
    bool identified = false;
    int done = 0;
    int failed = 0;
    for (int servo = 1; m_options.count <= 0 || servo <= m_options.count; ++servo) {
        Progress("waiting for servo " + std::to_string(servo) + " (Ctrl+C ends the batch)");
        while (!Interrupted() && !ServoAnswers(*comm, identified))
            m_services.Pause(kPollInterval);
        if (Interrupted())
            break;

        TServoConfig before;
        TServoConfig record;
        auto failure = ReadFromServo(*comm, before);
        if (!failure && fixed)
            record = *fixed;
        else if (!failure)
            failure = CheckedRecord(before, false, record);
        if (!failure)
            failure = WriteAndVerify(*comm, record);
        const std::string result = failure ? "failed" : (m_options.verify ? "written and verified" : "written");
        (failure ? failed : done) += 1;
        if (!Emit("servo " + std::to_string(servo) + ": " + result + (failure ? " (" + failure->message + ")" : "") +
                  "\n"))
            break;
        if (log) {
            nlohmann::json line = RecordJson(record, false);
            line["before"] = RecordJson(before, false);
            line["time"] = m_services.Now();
            line["servo"] = servo;
            line["result"] = result;
            if (failure)
                line["error"] = failure->message;
            log << line.dump() << "\n";
            log.flush();
            // A production log that cannot be kept stops the batch before the next servo.
            if (!log) {
                Emit("done: " + std::to_string(done) + ", failed: " + std::to_string(failed) + "\n");
                return Fail({kExitFileError, "the log \"" + m_options.log + "\" could not be written; the batch "
                                             "stopped after servo " + std::to_string(servo)});
            }
        }
        if (Interrupted())
            break;

        m_services.ServoProgrammed();
        Progress("unplug servo " + std::to_string(servo));
        while (!Interrupted() && ServoAnswers(*comm, identified))
            m_services.Pause(kPollInterval);
        if (Interrupted())
            break;
    }
    if (!Emit("done: " + std::to_string(done) + ", failed: " + std::to_string(failed) + "\n"))
        return kExitFileError;
    if (Interrupted())
        return kExitInterrupted;
    return failed > 0 ? kExitFailed : kExitOk;
}

int Command::Doctor()
{
    UsbBridge& bridge = Bridge();
    const Diagnosis diagnosis = RunDoctor(m_services.Usb(m_options.demo), bridge, m_services.LibraryStep(m_options.demo));
    if (m_options.json) {
        nlohmann::json steps = nlohmann::json::array();
        for (const DoctorStep& step : diagnosis.steps)
            steps.push_back({{"what", step.what}, {"ok", step.ok}, {"advice", step.ok ? "" : step.advice}});
        if (!Emit(nlohmann::json{{"version", kVersion}, {"steps", steps}, {"exitCode", diagnosis.exitCode}}.dump() +
                  "\n"))
            return kExitFileError;
    } else if (!Emit(DescribeDiagnosis(diagnosis))) {
        return kExitFileError;
    }
    if (m_options.report.empty())
        return diagnosis.exitCode;

    std::ofstream file;
    const bool toStandardOutput = m_options.report == kStandardStream;
    if (!toStandardOutput)
        if (auto refused = OpenTextOutput(m_options.report, OutputMode::Replace, file))
            return Fail({kExitFileError, "the report \"" + m_options.report + "\" " + *refused});
    std::ostringstream report;
    report << kProgram << " " << kVersion << " doctor report\n\n";
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
    {
        TracingBridge traced(bridge, report);
        TComm comm(traced);
        if (comm.OpenAdapter()) {
            IdentificationBytes identification{};
            comm.QueryAdapterInfo(identification);
            comm.ProbeServo();
            TServoConfig record;
            if (comm.ReadRegisters(record.Bytes, ConfigMask, static_cast<std::int32_t>(ConfigMask.size())))
                report << "\nread:\n" << DescribeRecord(record, false);
        } else {
            report << "(no adapter session could be opened, so there is nothing more to trace)\n";
        }
    }
    if (toStandardOutput)
        return Emit(report.str()) ? diagnosis.exitCode : kExitFileError;
    file << report.str();
    file.flush();
    if (!file)
        return Fail({kExitFileError, "the report \"" + m_options.report + "\" could not be written in full"});
    m_err << "report written to " << m_options.report << ": please attach it to an issue\n";
    return diagnosis.exitCode;
}

// ---------------------------------------------------------------- arguments

void AddRecordInput(CLI::App& command, Options& options, bool withFile, const std::string& example)
{
    if (withFile) {
        command.add_option("file", options.file,
                           "a parameter file (.svo) to start from, or - for standard input; without one, the "
                           "values the servo holds are the start");
        command.add_flag("--json", options.jsonInput, "the file holds JSON as read --json prints it");
    }
    command.add_option("--set", options.settings, "NAME=VALUE, once per setting (see the settings below)")
        ->allow_extra_args(false);
    command.add_flag("--lenient", options.lenient,
                     "take values as the window does (a default for a non-number, wrapped or moved values) with "
                     "a warning, instead of refusing them");
    command.footer("Settings:\n" + SettingsHelp() +
                   "A value that is not a number, that its register cannot hold or a limit beyond the neutral "
                   "position is refused, and nothing is sent or saved, unless --lenient.\nExample: " + example);
}

void AddBackup(CLI::App& command, Options& options)
{
    command.add_option("--backup", options.backup,
                       "first save what the servo holds to this parameter file, so that 'write FILE' undoes the change");
}

// The command named on the line: the first word that is neither an option
// nor the value of --trace.
std::optional<std::string> CommandWord(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--trace") {
            ++i;
            continue;
        }
        if (!arguments[i].empty() && arguments[i][0] == '-')
            continue;
        return arguments[i];
    }
    return std::nullopt;
}

bool IsCommand(const std::string& word)
{
    return std::find(std::begin(kCommands), std::end(kCommands), word) != std::end(kCommands);
}

std::string CommandList()
{
    std::string list;
    for (const char* command : kCommands)
        list += (list.empty() ? "" : ", ") + std::string(command);
    return list;
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, CliServices& services, std::ostream& out, std::ostream& err)
{
    Options options;
    CLI::App app{"Sets up a programmable digital RC servo through its USB adapter.", kProgram};
    app.require_subcommand(0, 1);
    // Global options may stand before or after the command.
    app.fallthrough();
    app.set_version_flag("--version", std::string(kProgram) + " " + kVersion);
    app.add_flag("--demo", options.demo, "use the built-in simulated adapter and servo");
    app.add_option("--trace", options.trace, "append every bridge call with its bytes, status and duration to FILE");
    app.footer("Exit codes: 0 success, 2 bad arguments, 3 no adapter, 4 wrong adapter, 5 no servo, 6 operation "
               "failed, 7 verification mismatch, 8 file or output error, 9 adapter in use by another program, 130 "
               "interrupted (Ctrl+C).\n"
               "Run '" + std::string(kProgram) + " help COMMAND' for a command's options.\n"
               "Example: rivivev-uvezi-cli --demo read --json");

    auto* detect = app.add_subcommand("detect", "poll once as the window does and say what is attached");
    detect->add_flag("--json", options.json, "print JSON");
    detect->footer("Example: rivivev-uvezi-cli detect");

    auto* read = app.add_subcommand("read", "read the servo's configuration, as Read Config does");
    read->add_option("-o,--output", options.output, "also save it to a parameter file (- for standard output)");
    read->add_flag("--force", options.force, "overwrite a file that is not a parameter file");
    read->add_flag("--json", options.json, "print JSON");
    read->footer("Example: rivivev-uvezi-cli read -o servo.svo");

    auto* write = app.add_subcommand("write", "write the configuration register by register, as Write Config does");
    AddRecordInput(*write, options, true, "rivivev-uvezi-cli write --set neutral=1520 --verify --backup before.svo");
    AddBackup(*write, options);
    write->add_flag("--verify", options.verify, "read the registers back and compare them byte for byte");

    auto* init = app.add_subcommand("init", "send the whole parameter block with its CRC, as Initialize does");
    AddRecordInput(*init, options, true, "rivivev-uvezi-cli init servo.svo --verify");
    AddBackup(*init, options);
    init->add_flag("--verify", options.verify, "read the registers back and compare them byte for byte");

    auto* show = app.add_subcommand("show", "show a parameter file");
    show->add_option("file", options.file, "the parameter file, or - for standard input")->required();
    show->add_flag("--json", options.json, "print JSON");
    show->footer("Example: rivivev-uvezi-cli show servo.svo --json");

    auto* make = app.add_subcommand("make", "make a parameter file from values, without an adapter");
    AddRecordInput(*make, options, false, "rivivev-uvezi-cli make --set neutral=1520 --set lower=950 -o servo.svo");
    make->add_option("-o,--output", options.output, "the parameter file to write (- for standard output)")->required();
    make->add_flag("--force", options.force, "overwrite a file that is not a parameter file");

    auto* batch = app.add_subcommand("batch", "program servo after servo: plug one in, wait, unplug it, plug the next");
    AddRecordInput(*batch, options, true, "rivivev-uvezi-cli batch servo.svo --verify --count 20 --log workshop.jsonl");
    batch->add_flag("--verify", options.verify, "verify each servo");
    batch->add_option("--count", options.count, "stop after N servos (default: until Ctrl+C)")
        ->check(CLI::Range(1, 1000000).description("a whole number from 1 to 1000000"));
    batch->add_option("--log", options.log,
                      "append one JSON line per servo to FILE, with the values written and those it held before");

    auto* doctor = app.add_subcommand("doctor", "find out step by step why the adapter is not usable");
    doctor->add_option("--report", options.report, "write a report for the developers to FILE (- for standard output)");
    doctor->add_flag("--json", options.json, "print the steps as JSON");
    doctor->footer("Example: rivivev-uvezi-cli doctor --report report.txt");


    // help, help COMMAND, and a word that is no command, before the parser
    // sees them.
    const std::optional<std::string> word = CommandWord(arguments);
    if (word == "help") {
        const auto it = std::find(arguments.begin(), arguments.end(), "help");
        const std::optional<std::string> topic = CommandWord(std::vector<std::string>(std::next(it), arguments.end()));
        if (!topic) {
            out << app.help();
            return kExitOk;
        }
        if (!IsCommand(*topic)) {
            err << kProgram << ": \"" << *topic << "\" is not a command; the commands are " << CommandList() << "\n";
            return kExitBadArguments;
        }
        out << app.get_subcommand(*topic)->help();
        return kExitOk;
    }
    if (word && !IsCommand(*word)) {
        err << kProgram << ": \"" << *word << "\" is not a command; the commands are " << CommandList()
            << " (run '" << kProgram << " help')\n";
        return kExitBadArguments;
    }

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
    } catch (const CLI::CallForVersion&) {
        out << kProgram << " " << kVersion << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        const std::string which = app.get_subcommands().empty() ? "" : " " + app.get_subcommands().front()->get_name();
        err << kProgram << ": " << error.what() << "; run '" << kProgram << " help" << which << "' for usage\n";
        return kExitBadArguments;
    }
    if (app.get_subcommands().empty()) {
        err << kProgram << ": a command is required: one of " << CommandList() << " (run '" << kProgram << " help')\n";
        return kExitBadArguments;
    }
    options.traceGiven = app.count("--trace") > 0;

    Command command(options, arguments, services, out, err);
    if (auto failure = command.Prepare()) {
        err << kProgram << ": " << failure->message << "\n";
        return failure->code;
    }
    // CLI11 has made sure that exactly one command was parsed.
    const std::pair<const CLI::App*, int (Command::*)()> commands[] = {
        {detect, &Command::Detect}, {read, &Command::Read}, {write, &Command::Write}, {init, &Command::Init},
        {show, &Command::Show},     {make, &Command::Make}, {batch, &Command::Batch}, {doctor, &Command::Doctor}};
    int code = kExitOk;
    for (const auto& [subcommand, run] : commands) {
        if (subcommand->parsed()) {
            code = (command.*run)();
            break;
        }
    }
    return command.Finish(code);
}

}  // namespace rvz::cli
