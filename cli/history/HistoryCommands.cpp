// SPDX-License-Identifier: GPL-3.0-or-later
// history and undo: the writes made from the command line, and each one
// put back. An undo reads the servo first and goes ahead only when it holds
// what that write left; it is itself a write in the history.
#include <algorithm>
#include <cstdio>

#include "Commands.h"
#include "ExitCodes.h"
#include "History.h"
#include "RecordInput.h"
#include "RecordJson.h"
#include "Sending.h"

namespace rvz::cli {

namespace {

// The UTF-8 length of a control character at text[at] that a terminal
// would carry out or lay out (C0, DEL, C1, line and paragraph separators,
// bidirectional overrides and isolates), or 0.
std::size_t ControlAt(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned first = byte(at);
    const unsigned second = byte(at + 1);
    const unsigned third = byte(at + 2);
    if (first < 0x20 || first == 0x7F)
        return 1;
    if (first == 0xC2 && second >= 0x80 && second <= 0x9F)  // C1
        return 2;
    if (first == 0xE2 && second == 0x80 && third >= 0xA8 && third <= 0xAE)  // U+2028 to U+202E
        return 3;
    if (first == 0xE2 && second == 0x81 && third >= 0xA6 && third <= 0xA9)  // U+2066 to U+2069
        return 3;
    return 0;
}

// Text of the history as a terminal may show it: a control character (an
// edited line's escape sequence, line break or text direction) as \xNN
// bytes, so that no line printed can pass for another.
std::string Shown(const std::string& text)
{
    std::string shown;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t control = ControlAt(text, at);
        if (control == 0) {
            shown += text[at++];
            continue;
        }
        for (const std::size_t end = at + control; at < end; ++at) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[at]));
            shown += escaped;
        }
    }
    return shown;
}

std::string Joined(const std::vector<std::string>& words)
{
    std::string line;
    for (const std::string& word : words)
        line += (line.empty() ? "" : " ") + Shown(word);
    return line;
}

// The newest entries of the history, at most newest of them.
std::optional<Failure> LoadHistory(RunContext& run, std::vector<HistoryEntry>& entries, std::size_t newest)
{
    int skipped = 0;
    const std::string adapter = run.ChosenAdapterText();
    const auto attached = [&] {
        const std::vector<AdapterName> adapters = run.Adapters();
        return std::any_of(adapters.begin(), adapters.end(),
                           [&](const AdapterName& name) { return run.options.adapter->Matches(name); });
    };
    if (run.options.adapter && run.options.adapter->index && !attached())
        run.Warn("no adapter is attached as " + adapter + ", so its port path is not known: only the writes the "
                 "history names by the number " + adapter + " count; give the port path to find those made "
                 "through a port");
    if (auto problem = ReadHistory(run.HistoryFile(), entries, skipped, newest, adapter))
        return Failure{kExitFileError, "the history \"" + run.HistoryFile().string() + "\" cannot be read: " + *problem};
    if (skipped > 0)
        run.Warn("the history \"" + run.HistoryFile().string() + "\" has " + std::to_string(skipped) +
                 " line(s) that are not entries (left torn, or edited); they are passed over");
    return std::nullopt;
}

// "#2 2026-12-09T10:00:00Z write --set upper=2000 (written and verified)"
std::string Heading(const HistoryEntry& entry, std::size_t back)
{
    const std::string result = entry.Unfinished() ? "unfinished: its outcome is not on record (the program ended "
                                                    "during the send, could not add it, or is still sending), so the "
                                                    "servo may hold the old or the new value of each setting"
                                                  : Shown(entry.result);
    const std::string through = IsFirstByNumber(entry.adapter) ? "" : "  [adapter " + Shown(entry.adapter) + "]";
    return "#" + std::to_string(back) + "  " + Shown(entry.time) + "  " + Joined(entry.arguments) + through + "  (" +
           result + ")";
}

// What the servo's settings should hold for the undo to go ahead: what
// the write left, or when that is not known, what it sent.
KnownRecord LeftBy(const HistoryEntry& entry) { return entry.after.value_or(ReadFromServo(entry.written.record)); }

// Whether the servo holds what the write left; where that is not known
// (unfinished, or failed with the servo unread), each register as it was
// before or as it was sent.
bool HoldsWhatItLeft(const HistoryEntry& entry, const TServoConfig& now)
{
    if (entry.after)
        return SameSettings(*entry.after, now);
    return std::all_of(kConfigRegisters.begin(), kConfigRegisters.end(), [&](std::size_t reg) {
        return now.Bytes[reg] == entry.before.record.Bytes[reg] ||
               (entry.written.known[reg] && now.Bytes[reg] == entry.written.record.Bytes[reg]);
    });
}

}  // namespace

int RunHistory(RunContext& run)
{
    std::vector<HistoryEntry> entries;
    if (auto failure = LoadHistory(run, entries, run.options.count > 0 ? static_cast<std::size_t>(run.options.count) : 10))
        return run.Fail(*failure);
    const std::size_t shown = entries.size();
    std::string text;
    if (entries.empty() && !run.options.json)
        text = "no writes yet (the history is kept in \"" + run.HistoryFile().string() + "\")\n";
    for (std::size_t i = entries.size() - shown; i < entries.size(); ++i) {
        const HistoryEntry& entry = entries[i];
        const std::size_t back = entries.size() - i;
        if (run.options.json) {
            nlohmann::json line = EntryJson(entry);
            line["number"] = back;
            text += JsonText(line) + "\n";
            continue;
        }
        Differences changes = Compare(entry.before, entry.written);
        std::string lines = DifferencesText(entry.before, entry.written, changes);
        if (changes.Equal() && changes.onlyTo.empty())
            lines = "no change\n";
        text += Heading(entry, back) + "\n";
        for (std::size_t start = 0; start < lines.size();) {
            const std::size_t end = lines.find('\n', start);
            text += "    " + lines.substr(start, end - start + 1);
            start = end + 1;
        }
    }
    return run.Emit(text) ? kExitOk : kExitFileError;
}

int RunUndo(RunContext& run)
{
    const std::size_t back = static_cast<std::size_t>(run.options.back);
    std::vector<HistoryEntry> entries;
    if (auto failure = LoadHistory(run, entries, back))
        return run.Fail(*failure);
    if (entries.empty())
        return run.Fail({kExitBadArguments, "the history holds no write to undo (\"" + run.HistoryFile().string() + "\")"});
    if (back > entries.size())
        return run.Fail({kExitBadArguments, "the history holds " + std::to_string(entries.size()) +
                                                " write(s); there is no #" + std::to_string(back) + " (see history)"});
    const HistoryEntry& entry = entries[entries.size() - back];
    const std::string which =
        "#" + std::to_string(back) + " (" + Shown(entry.time) + ", " + Joined(entry.arguments) + ")";
    for (std::size_t reg : kConfigRegisters)
        if (!entry.before.known[reg])
            return run.Fail({kExitFileError, "the history's line of " + which + " lacks what the servo held before"});

    // The write's servo was on the adapter it went through: the undo goes
    // there unless told otherwise (an older line names none: the first).
    const AdapterChoice where = run.options.adapter.value_or(
        ParseAdapterChoice(entry.adapter).value_or(AdapterChoice::First()));
    const auto comm = run.OpenSession(run.Bridge(), run.services.Clock(), where);
    TServoConfig now;
    if (auto failure = ConnectAndReadServo(run, *comm, now))
        return run.Fail(*failure);
    const KnownRecord expected = LeftBy(entry);
    if (!HoldsWhatItLeft(entry, now)) {
        const KnownRecord servo = ReadFromServo(now);
        const std::string found = DifferencesText(expected, servo, Compare(expected, servo));
        // What the write left is on record, or else only what it sent.
        const std::string notHeld = entry.after ? "the servo does not hold what " + which + " left"
                                                : "the servo holds, register by register, neither what it held before " +
                                                      which + " nor what that write sent";
        if (!run.options.force)
            return run.Fail({kExitNotAsLeft, notHeld + " (another servo, or changed since), so nothing was sent; " +
                                                 (entry.after ? "what that write left" : "what that write sent") +
                                                 " -> what the servo holds now:\n" + found +
                                                 "give --force to put back what it held before all the same"});
        run.Warn(notHeld + "; --force puts back what it held before all the same");
    }

    // A block comes back as a block when the history knows all it replaced.
    // It knows them only from blocks sent earlier, and a servo cannot tell
    // them, so another servo with the same settings would be given the
    // first one's: the user must say it is the same servo. Otherwise, and
    // for a write, the six registers of the settings come back.
    const bool known = entry.block && entry.before.known.all();
    const bool block = known && run.options.sameServo;
    TServoConfig record = now;
    for (std::size_t reg : kConfigRegisters)
        record.Bytes[reg] = entry.before.record.Bytes[reg];
    if (block)
        record = entry.before.record;
    else if (entry.block)
        run.Warn("what register 0, registers 02 to 05 and 0B to 0F and the neutral signal held before " + which +
                 (known ? " is known only from the blocks sent before it, and holds only if this is the servo they "
                          "went to (a servo cannot tell them)"
                        : " is not known (they cannot be read, and no block sent before it is on record)") +
                 ", so they stay as it left them; the settings are put back register by register" +
                 (known ? "; if this is that servo, unchanged by other tools since, give --same-servo to put back "
                          "the whole block"
                        : ""));
    const KnownRecord before = block ? KnownServo(run, now) : ReadFromServo(now);
    if (!block && SameSettings(ReadFromServo(record), now))
        return run.Emit("the servo holds the settings it held before " + which + " already; nothing was sent\n")
                   ? kExitOk
                   : kExitFileError;
    if (auto failure = CheckHistoryFirst(run))
        return run.Fail(*failure);
    const SendRequest request{"undo", block, before, now, record, AdapterOf(*comm)};
    if (!run.options.dryRun)
        return EndSend(run, SendRecord(run, *comm, request), "undid " + which + ": ", "undoing " + which + ": ");
    if (auto failure = CheckHistoryRoom(run, request))
        return run.Fail(*failure);
    return run.Emit(DryRunReport("undo", before, record, block)) ? kExitOk : kExitFileError;
}

}  // namespace rvz::cli
