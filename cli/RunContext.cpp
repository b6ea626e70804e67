// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunContext.h"

#include <algorithm>

#include "Attempts.h"
#include "ExitCodes.h"
#include "LinkAdvice.h"
#include "OutputFiles.h"
#include "SystemFacts.h"
#include "UsbAdapters.h"

namespace rvz::cli {

std::string Reason(LinkFailure failure) { return std::string(DescribeLinkFailure(failure)); }

std::string AfterAttempts() { return "after " + std::to_string(kAttempts) + " attempts"; }

std::string Failed(const std::string& what, LinkFailure failure)
{
    if (failure == LinkFailure::Interrupted)
        return what + " was " + Reason(failure);
    return what + " failed " + AfterAttempts() + ": " + Reason(failure);
}

RunContext::RunContext(const Options& parsed, const std::vector<std::string>& arguments, CliServices& program,
                       std::ostream& out, std::ostream& err)
    : options(parsed), services(program), m_arguments(arguments), m_out(out), m_err(err)
{
}

std::optional<Failure> RunContext::Prepare()
{
    if (!options.trace)
        return std::nullopt;
    if (*options.trace == kStandardStream)
        return Failure{kExitBadArguments, "--trace needs the name of a file (standard output carries the results)"};
    if (auto refused = OpenTextOutput(*options.trace, OutputMode::Append, m_traceFile))
        return Failure{options.trace->empty() ? kExitBadArguments : kExitFileError,
                       "--trace " + (options.trace->empty() ? std::string("needs a file name")
                                                            : "\"" + *options.trace + "\" " + *refused)};
    // Each run's trace starts with what ran, and when.
    std::string line = std::string("# ") + kProgram + " " + kVersion + ", " + services.Now() + ":";
    for (const std::string& argument : m_arguments)
        line += " " + argument;
    m_traceFile << line << "\n";
    m_traced = std::make_unique<TracingBridge>(services.Bridge(options.demo), m_traceFile);
    return std::nullopt;
}

int RunContext::Finish(int code)
{
    if (m_traced) {
        m_traceFile.flush();
        if (!m_traceFile && code != kExitFileError)
            return Fail({kExitFileError, "the trace \"" + *options.trace + "\" could not be written in full"});
    }
    if (m_outputLost && code != kExitFileError)
        return kExitFileError;
    // Whatever a command was doing when a signal came, it stopped there.
    if (const int stopped = Stopped(); stopped != 0 && code != kExitOk)
        return stopped;
    return code;
}

int RunContext::Fail(const Failure& failure)
{
    std::lock_guard lock(m_outputMutex);
    m_err << kProgram << ": " << failure.message << "\n";
    m_err.flush();
    return failure.code;
}

void RunContext::Warn(const std::string& warning)
{
    std::lock_guard lock(m_outputMutex);
    m_err << kProgram << ": warning: " << warning << "\n";
}

void RunContext::Progress(const std::string& text)
{
    if (services.ErrorIsTerminal())
        Instruct(text);
}

void RunContext::Instruct(const std::string& text)
{
    std::lock_guard lock(m_outputMutex);
    m_err << text << "\n";
    m_err.flush();
}

bool RunContext::Emit(const std::string& text)
{
    std::lock_guard lock(m_outputMutex);
    if (m_outputLost)
        return false;
    m_out << text;
    m_out.flush();
    if (m_out)
        return true;
    m_outputLost = true;
    // What was lost may be a write's result: the servo has changed all the
    // same, so it is said where it can still be read.
    // A record's bytes are no message: only text is repeated.
    std::string lost = text.substr(0, text.find('\n'));
    if (std::any_of(lost.begin(), lost.end(), [](unsigned char c) { return c < 0x20 && c != '\t'; }))
        lost.clear();
    Fail({kExitFileError, "standard output could not be written (is the disk full, or the pipe closed?)" +
                              (lost.empty() ? std::string() : "; it was to say: " + lost)});
    return false;
}

int RunContext::Stopped() const
{
    const int signal = services.StopSignal();
    return signal == 0 ? 0 : ExitCodeOfSignal(signal);
}

void RunContext::StopOnSignal(TComm& comm)
{
    comm.SetInterruption([this] { return Stopped() != 0; });
}

UsbBridge& RunContext::Bridge() { return m_traced ? *m_traced : services.Bridge(options.demo); }

RunContext::Session RunContext::OpenSession()
{
    return OpenSession(Bridge(), services.Clock(), options.adapter.value_or(AdapterChoice::First()));
}

RunContext::Session RunContext::OpenSession(UsbBridge& bridge, LinkClock& clock, const AdapterChoice& adapter)
{
    Session comm(new TComm(bridge, clock), SessionCloser{this});
    comm->ChooseAdapter(adapter);
    StopOnSignal(*comm);
    return comm;
}

void RunContext::SayWhichAdapter(const TComm& comm)
{
    if (options.adapter || !comm.OpenedAdapter() || m_saidWhichAdapter)
        return;
    const std::vector<AdapterName> attached = Adapters();
    if (attached.size() < 2)
        return;
    m_saidWhichAdapter = true;
    std::string others;
    for (const AdapterName& adapter : attached)
        if (!(adapter == *comm.OpenedAdapter()))
            others += (others.empty() ? "" : ", ") + adapter.Text();
    Instruct("using adapter " + comm.OpenedAdapter()->Text() + " of " + std::to_string(attached.size()) +
             " attached; --adapter " + others.substr(0, others.find(',')) + " would choose another (see detect)");
}

void RunContext::SendingBegins()
{
    std::lock_guard lock(m_sendingMutex);
    if (m_sending++ == 0)
        services.SetSending(true);
}

void RunContext::SendingEnds()
{
    std::lock_guard lock(m_sendingMutex);
    if (--m_sending == 0)
        services.SetSending(false);
}

void RunContext::SessionCloser::operator()(TComm* comm) const
{
    if (comm->AdapterHandle() != kNullHandle && comm->ReplyMayBeOnItsWay())
        run->Progress(std::string("waiting a second or two for replies still on their way, so that the next program "
                                  "does not take them for its own (") +
                      (run->Stopped() != 0 ? "Ctrl+C again quits at once)" : "Ctrl+C twice quits at once)"));
    delete comm;
}

RunContext::Sending::Sending(RunContext& run, TComm& comm) : m_run(run), m_comm(comm)
{
    // Held first, then asked: a signal between the two is not lost.
    m_run.SendingBegins();
    m_stoppedBefore = m_run.Stopped() != 0;
    m_comm.SetInterruption(nullptr);
}

RunContext::Sending::~Sending()
{
    m_run.StopOnSignal(m_comm);
    m_run.SendingEnds();
}

std::optional<UsbDeviceInfo> RunContext::Adapter()
{
    UsbHost* usb = services.Usb(options.demo);
    if (!usb)
        return std::nullopt;
    const std::vector<UsbDeviceInfo> adapters = AttachedAdapters(*usb);
    const AdapterChoice choice = options.adapter.value_or(AdapterChoice::First());
    for (std::uint32_t index = 0; index < adapters.size(); ++index)
        if (choice.Matches({index, adapters[index].port}))
            return adapters[index];
    return std::nullopt;
}

std::string RunContext::Holders()
{
    const std::optional<UsbDeviceInfo> adapter = Adapter();
    return adapter ? HoldersInParentheses(services.Facts(), adapter->bus, adapter->address) : std::string();
}

std::optional<Failure> RunContext::Connect(TComm& comm, bool servo)
{
    // A program before this one that ended without waiting may have left a
    // reply on its way: this one waits for it before its first command.
    if (comm.OpenAdapter() && comm.ReplyMayBeOnItsWay())
        Progress("waiting a second or two for replies that the last program on the adapter left on their way "
                 "(Ctrl+C stops)");
    const Connection link = rvz::Connect(comm, servo);
    if (link.stage != LinkStage::NoSession)
        SayWhichAdapter(comm);
    const bool chosen = options.adapter || !IsFirstByNumber(comm.ChosenAdapter().Text());
    return Describe(link, servo, chosen ? &comm.ChosenAdapter() : nullptr);
}

std::string RunContext::ChosenAdapterText()
{
    if (!options.adapter)
        return {};
    if (!options.adapter->index)
        return options.adapter->port;
    for (const AdapterName& adapter : Adapters())
        if (options.adapter->Matches(adapter))
            return adapter.Text();
    return options.adapter->Text();
}

std::string AttachedText(const std::vector<AdapterName>& adapters)
{
    std::string text;
    for (const AdapterName& adapter : adapters)
        text += (text.empty() ? "" : ", ") +
                (adapter.port.empty() ? std::to_string(adapter.index)
                                      : std::to_string(adapter.index) + " (" + adapter.port + ")");
    return text;
}

std::optional<Failure> RunContext::Describe(const Connection& link, bool servo, const AdapterChoice* chosen)
{
    const std::optional<LinkAdvice> advice =
        AdviseOnLink(link, servo, AdviceFor::Command, services.Facts(), [this] { return Adapter(); });
    if (!advice)
        return std::nullopt;
    // Another adapter than the one asked for is no answer to "plug it in".
    if (chosen && link.stage == LinkStage::NoSession && link.failure == LinkFailure::NoAdapter)
        if (const std::vector<AdapterName> attached = Adapters(); !attached.empty())
            return Failure{advice->code, "no adapter is attached as \"" + chosen->Text() +
                                             "\"; attached: " + AttachedText(attached) + " (see detect)"};
    return Failure{advice->code, OneLine(*advice)};
}

}  // namespace rvz::cli
