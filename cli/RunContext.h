// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What one run of the command line works with: the options as parsed, the
// program's services, the two output streams, the trace, and the adapter
// session. Commands report through it, so every result, warning and error
// takes the same way out and every lost output is noticed.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "Comm.h"
#include "ServoOperations.h"
#include "TracingBridge.h"

namespace rvz::cli {

inline constexpr const char* kProgram = "rivivev-uvezi-cli";
// What a script gives for standard input or output in place of a file name.
inline constexpr const char* kStandardStream = "-";

// What every command's options fill in. Paths are unset unless given, so
// that an empty one ('') is told from one not given.
struct Options {
    bool demo = false;
    std::optional<std::string> trace;
    std::optional<AdapterChoice> adapter;  // unset: the first adapter, as the window uses
    bool parallel = false;  // batch: every attached adapter at once
    bool json = false;
    bool jsonInput = false;  // the file of write, init and batch is JSON
    bool verify = false;
    bool lenient = false;
    bool force = false;
    bool dryRun = false;
    bool sameServo = false;  // undo: the servo is the one the blocks on record went to
    std::string file;   // the file a command reads
    std::string other;  // diff's second side
    std::optional<std::string> output;
    std::optional<std::string> backup;
    std::vector<std::string> settings;
    int count = 0;
    int back = 1;  // undo: the write so many back in the history, 1 the last
    std::optional<std::string> log;
    std::optional<std::string> report;
};

// One failure, as the one sentence a user reads, and its exit code.
struct Failure {
    int code;
    std::string message;
};

// "0 (1-2), 1 (1-3)": the adapters by number and port path.
std::string AttachedText(const std::vector<AdapterName>& adapters);
// Why the session's last operation failed, for a message.
std::string Reason(LinkFailure failure);
// "after 3 attempts", from the number the operations make.
std::string AfterAttempts();
// "the read failed after 3 attempts: no reply came back in time", or for
// one that a signal stopped, "the read was stopped (Ctrl+C, ...) before ...".
std::string Failed(const std::string& what, LinkFailure failure);

class RunContext {
public:
    RunContext(const Options& options, const std::vector<std::string>& arguments, CliServices& services,
               std::ostream& out, std::ostream& err);

    const Options& options;
    CliServices& services;
    // The history's trim failed, and the user was told (once a command is enough).
    std::atomic<bool> toldHistoryNotTrimmed = false;

    // Opens the trace file, if one was asked for; before any command runs.
    std::optional<Failure> Prepare();
    // What a command returned, made to fail when its output was lost, and
    // the signal's code when one stopped it.
    int Finish(int code);

    int Fail(const Failure& failure);
    void Warn(const std::string& warning);
    // Progress and prompts, on standard error when it is a terminal.
    void Progress(const std::string& text);
    // Instructions a batch waits on, on standard error whatever it is.
    void Instruct(const std::string& text);
    // Writes a result to standard output; false (and an error) when it is lost.
    bool Emit(const std::string& text);

    // The command line as given, without the program's name.
    const std::vector<std::string>& Arguments() const { return m_arguments; }
    // The history of this run's kind (demo or real).
    std::filesystem::path HistoryFile() const { return services.HistoryFile(options.demo); }

    // A stopping signal came; its exit code, or 0.
    int Stopped() const;

    // Closes a session; says so when the link must first fall quiet.
    struct SessionCloser {
        RunContext* run;
        void operator()(TComm* comm) const;
    };
    using Session = std::unique_ptr<TComm, SessionCloser>;
    // A session on the adapter --adapter names (the first without it) that
    // stops before its next command once a signal came.
    Session OpenSession();
    // The same on a lane of a batch that works several adapters at once.
    Session OpenSession(UsbBridge& bridge, LinkClock& clock, const AdapterChoice& adapter);
    // Where more than one adapter is attached and none was chosen, says
    // (once) which one the session opened.
    void SayWhichAdapter(const TComm& comm);
    // The adapter --adapter names, as the history names it (its port path
    // where it is attached and has one); empty without --adapter.
    std::string ChosenAdapterText();
    // The adapters attached, as detect lists them.
    std::vector<AdapterName> Adapters() { return Bridge().ListAdapters(); }

    // Brings the link up (with the probe, when servo) and says why not, with
    // the exit code: no adapter, busy, wrong adapter, no servo.
    std::optional<Failure> Connect(TComm& comm, bool servo);
    // Why a link came up no further than needed (servo: the probe too);
    // chosen: the adapter the session was to open, when one was chosen.
    std::optional<Failure> Describe(const Connection& link, bool servo, const AdapterChoice* chosen = nullptr);
    // " (name (PID n))" of the programs that hold the adapter, for a
    // message; empty when unknown.
    std::string Holders();

    // While it lives, a signal lets the operation finish: nothing is torn.
    // A signal that came before it stops the command instead: nothing may
    // be sent once StoppedBefore says so. Several lanes may send at once:
    // signals are held while any of them does.
    class Sending {
    public:
        Sending(RunContext& run, TComm& comm);
        ~Sending();
        Sending(const Sending&) = delete;
        Sending& operator=(const Sending&) = delete;
        bool StoppedBefore() const { return m_stoppedBefore; }

    private:
        RunContext& m_run;
        TComm& m_comm;
        bool m_stoppedBefore = false;
    };

    // The bridge of this run's commands (traced, with --trace).
    UsbBridge& Bridge();

private:
    // The chosen adapter on the USB bus, where the real adapter is used.
    std::optional<UsbDeviceInfo> Adapter();
    // Signals are held while this many sessions send.
    void SendingBegins();
    void SendingEnds();
    // The session stops before its next command once a signal came.
    void StopOnSignal(TComm& comm);

    const std::vector<std::string>& m_arguments;
    std::ostream& m_out;
    std::ostream& m_err;
    std::ofstream m_traceFile;
    std::unique_ptr<TracingBridge> m_traced;
    // Lanes of a batch report from their own threads: one line at a time.
    std::recursive_mutex m_outputMutex;
    bool m_outputLost = false;
    std::mutex m_sendingMutex;
    int m_sending = 0;
    std::atomic<bool> m_saidWhichAdapter = false;
};

}  // namespace rvz::cli
