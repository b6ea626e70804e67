// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge over the vendor's library, against the stand-in library. On
// Windows the stand-in is a DLL that the real loader binds by ordinal; on
// Linux its functions are bound directly, so the bridge's own handling is
// tested in both builds and the binding in the Windows one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "Comm.h"
#include "ServoConfig.h"
#include "ServoOperations.h"
#include "SiUsbXpBridge.h"
#include "TempDir.h"

#if defined(_WIN32)
#include <windows.h>

#include "SiUsbXpLibrary.h"
#else
#include "StandIn.h"
#endif

namespace rvz {
namespace {

namespace o = siusbxp::ordinal;

// The stand-in's controls, reached as a test of the real library would:
// by name, in the module the loader loaded.
struct Controls {
    void (*reset)(int);
    void (*failNext)(int, siusbxp::Status);
    void (*overclaimNextRead)(siusbxp::Dword);
    std::size_t (*log)(char*, std::size_t);
    void (*cutNextRead)(siusbxp::Dword);
    void (*shortNextWrite)(siusbxp::Dword);
    void (*failNextOpenWritingHandle)(siusbxp::Status);
};

class SiUsbXpBridgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#if defined(_WIN32)
        ASSERT_NE(library.Functions(), nullptr);
        const HMODULE module = ::GetModuleHandleW(L"SIUSBXP.DLL");
        ASSERT_NE(module, nullptr);
        controls = {Control<decltype(Controls::reset)>(module, "StandInReset"),
                    Control<decltype(Controls::failNext)>(module, "StandInFailNext"),
                    Control<decltype(Controls::overclaimNextRead)>(module, "StandInOverclaimNextRead"),
                    Control<decltype(Controls::log)>(module, "StandInLog"),
                    Control<decltype(Controls::cutNextRead)>(module, "StandInCutNextRead"),
                    Control<decltype(Controls::shortNextWrite)>(module, "StandInShortNextWrite"),
                    Control<decltype(Controls::failNextOpenWritingHandle)>(module, "StandInFailNextOpenWritingHandle")};
#endif
        controls.reset(1);
    }

#if defined(_WIN32)
    template <typename Function>
    static Function Control(HMODULE module, const char* name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
    }
    SiUsbXpLibrary library;
    SiUsbXpBridge bridge{library.Functions()};
    Controls controls{};
#else
    const siusbxp::Functions functions{StandInGetNumDevices, StandInOpen,         StandInClose,      StandInRead,
                                       StandInWrite,         StandInFlushBuffers, StandInSetTimeouts};
    SiUsbXpBridge bridge{&functions};
    Controls controls{StandInReset,       StandInFailNext,       StandInOverclaimNextRead,
                      StandInLog,         StandInCutNextRead,    StandInShortNextWrite,
                      StandInFailNextOpenWritingHandle};
#endif
    // Each test keeps its session notes apart, so no test waits on what another left owed.
    test::TempDir notesFolder{"rvz-siusbxp-notes-"};
    FileSessionRecords notes{notesFolder.path()};

    std::string Log() const
    {
        std::string text(controls.log(nullptr, 0), '\0');
        controls.log(text.data(), text.size() + 1);
        return text;
    }
    BridgeHandle OpenSession()
    {
        BridgeHandle handle = kNullHandle;
        EXPECT_EQ(bridge.Open(0, &handle), kBridgeSuccess);
        return handle;
    }
    static std::string HandleText(BridgeHandle handle)
    {
        char text[24];
        std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(handle));
        return text;
    }
};

// Every operation receives its arguments in the library's order: a flush
// of (255, 0) that arrived as (0, 255), or time-outs swapped, show here.
TEST_F(SiUsbXpBridgeTest, PassesEveryArgumentInTheLibrarysOrder)
{
    std::uint32_t count = 99;
    EXPECT_EQ(bridge.GetNumDevices(&count), kBridgeSuccess);
    EXPECT_EQ(bridge.SetTimeouts(50, 70), kBridgeSuccess);
    const BridgeHandle handle = OpenSession();
    const std::string h = HandleText(handle);
    EXPECT_EQ(bridge.FlushBuffers(handle, kFlushBuffer, 0), kBridgeSuccess);
    const std::uint8_t probe[] = {0x81, 0x00, 0x00};
    std::uint32_t written = 0;
    EXPECT_EQ(bridge.Write(handle, probe, &written), kBridgeSuccess);
    std::uint8_t reply[5]{};
    std::uint32_t received = 0;
    EXPECT_EQ(bridge.Read(handle, reply, &received), kBridgeSuccess);
    EXPECT_EQ(bridge.Close(handle), kBridgeSuccess);

    EXPECT_EQ(Log(), "count\ntimeouts(50,70)\nopen(0)\nflush(" + h + ",255,0)\nwrite(" + h +
                         ",3,null) 81 00 00\nread(" + h + ",5,null)\nclose(" + h + ")\n");
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(written, 3u);
}

// The handle is pointer-sized and comes back unchanged: the stand-in's
// carry a tag in their top byte, which a 32-bit detour would cut off.
TEST_F(SiUsbXpBridgeTest, HandleTravelsBackWhole)
{
    const BridgeHandle handle = OpenSession();
    EXPECT_EQ(handle >> (8 * sizeof(void*) - 8), 0x5Au);
    std::uint8_t reply[1]{};
    std::uint32_t received = 0;
    EXPECT_EQ(bridge.Read(handle, reply, &received), kBridgeSuccess);
    EXPECT_NE(bridge.Read(handle ^ 1, reply, &received), kBridgeSuccess);  // another handle is refused
    EXPECT_EQ(bridge.Close(handle), kBridgeSuccess);
    EXPECT_NE(bridge.Read(handle, reply, &received), kBridgeSuccess);  // the closed one too
}

// Each operation's status, whatever its value, reaches the caller unchanged.
TEST_F(SiUsbXpBridgeTest, PassesEveryStatusOnUnchanged)
{
    const BridgeHandle handle = OpenSession();
    std::uint8_t buffer[3]{};
    std::uint32_t n = 0;
    BridgeHandle opened = kNullHandle;
    const std::pair<int, std::function<BridgeStatus()>> operations[] = {
        {o::kGetNumDevices, [&] { return bridge.GetNumDevices(&n); }},
        {o::kOpen, [&] { return bridge.Open(0, &opened); }},
        {o::kRead, [&] { return bridge.Read(handle, buffer, &n); }},
        {o::kWrite, [&] { return bridge.Write(handle, buffer, &n); }},
        {o::kFlushBuffers, [&] { return bridge.FlushBuffers(handle, kFlushBuffer, kFlushBuffer); }},
        {o::kSetTimeouts, [&] { return bridge.SetTimeouts(50, 50); }},
        {o::kClose, [&] { return bridge.Close(handle); }},
    };
    for (const auto& [ordinal, call] : operations) {
        const siusbxp::Status status = 0x40 + ordinal;
        controls.failNext(ordinal, status);
        EXPECT_EQ(call(), status) << "ordinal " << ordinal;
    }
    EXPECT_EQ(opened, kNullHandle);  // a failed open leaves no handle behind
}

// A whole read of the servo's registers runs over the library, and a
// pulled adapter makes the count fail.
TEST_F(SiUsbXpBridgeTest, ReadsTheServosRegistersAndSeesTheAdapterGo)
{
    TComm comm(bridge, SteadyLinkClock(), notes);
    ASSERT_EQ(Connect(comm, true).stage, LinkStage::ServoAnswers);
    TServoConfig record;
    ASSERT_TRUE(comm.ReadRegisters(record.Bytes, ConfigMask, static_cast<std::int32_t>(ConfigMask.size())));
    // The factory's limits and neutral: codes 78, 156 and 3456.
    EXPECT_EQ(record.Bytes[7], 0x4E);
    EXPECT_EQ(record.Bytes[8], 0x9C);
    EXPECT_EQ(record.Bytes[9], 0x80);
    EXPECT_EQ(record.Bytes[10], 0x0D);

    controls.reset(0);
    std::uint32_t count = 0;
    EXPECT_NE(bridge.GetNumDevices(&count), kBridgeSuccess);
    EXPECT_FALSE(comm.OpenAdapter());
}

// What the library may do that the session must not take for a success: a
// read that claims more than was asked for or comes up short at its
// time-out, a short write, and a failed open that leaves a handle behind.
struct LibraryFault {
    const char* name;
    void (*arrange)(const Controls&);
    LinkFailure failure;
    bool openFirst = true;  // the fault strikes an open session, not the open itself
};

class LibraryFaultTest : public SiUsbXpBridgeTest, public ::testing::WithParamInterface<LibraryFault> {};

TEST_P(LibraryFaultTest, FailsTheOperation)
{
    TComm comm(bridge, SteadyLinkClock(), notes);
    if (GetParam().openFirst) {
        ASSERT_TRUE(Connect(comm, false).Identified());
    }
    GetParam().arrange(controls);
    TServoConfig record;
    const bool done = comm.OpenAdapter() && comm.ReadRegisters(record.Bytes, ConfigMask, 11);
    EXPECT_FALSE(done);
    EXPECT_EQ(comm.LastFailure(), GetParam().failure) << DescribeLinkFailure(comm.LastFailure());
    EXPECT_EQ(Log().find("close("), std::string::npos) << "nothing is closed that was not opened\n" << Log();
}

INSTANTIATE_TEST_SUITE_P(Library, LibraryFaultTest, ::testing::Values(
    LibraryFault{"ReadClaimsMoreThanWanted", [](const Controls& c) { c.overclaimNextRead(1000); },
                 LinkFailure::MalformedReply},
    LibraryFault{"ReadCutShortAtItsTimeOut", [](const Controls& c) { c.cutNextRead(2); }, LinkFailure::MalformedReply},
    LibraryFault{"ShortWrite", [](const Controls& c) { c.shortNextWrite(2); }, LinkFailure::TransferFailed},
    LibraryFault{"FailedOpenLeavesAHandle", [](const Controls& c) { c.failNextOpenWritingHandle(0x08); },
                 LinkFailure::TransferFailed, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SiUsbXpBridgeWithoutLibraryTest, EveryOperationFailsAndNoAdapterIsFound)
{
    SiUsbXpBridge bridge(nullptr);
    std::uint32_t count = 7;
    EXPECT_NE(bridge.GetNumDevices(&count), kBridgeSuccess);
    EXPECT_EQ(count, 0u);
    TComm comm(bridge);
    EXPECT_FALSE(comm.OpenAdapter());
    EXPECT_EQ(comm.AdapterHandle(), kNullHandle);
}

#if defined(_WIN32)
TEST(SiUsbXpLibraryTest, MissingLibraryIsReportedNotThrown)
{
    const SiUsbXpLibrary library(L"no-such-library.dll");
    EXPECT_EQ(library.Functions(), nullptr);
    EXPECT_EQ(library.Load().outcome, SiUsbXpLoad::Outcome::LibraryMissing);
    EXPECT_EQ(library.Load().systemError, static_cast<unsigned long>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(library.Load().file, L"no-such-library.dll");
}

// Libraries of the right shape that are not the one the adapter needs.
struct WrongLibrary {
    const wchar_t* file;
    SiUsbXpLoad::Outcome outcome;
    std::uint16_t ordinal;
    const char* operation;
};

class WrongLibraryTest : public ::testing::TestWithParam<WrongLibrary> {};

TEST_P(WrongLibraryTest, IsNotUsed)
{
    const SiUsbXpLibrary library(GetParam().file);
    EXPECT_EQ(library.Functions(), nullptr);
    EXPECT_EQ(library.Load().outcome, GetParam().outcome);
    EXPECT_EQ(library.Load().missingOrdinal, GetParam().ordinal);
    EXPECT_STREQ(library.Load().missingOperation, GetParam().operation);
    EXPECT_TRUE(library.Load().path.ends_with(GetParam().file));
}

INSTANTIATE_TEST_SUITE_P(Library, WrongLibraryTest, ::testing::Values(
    WrongLibrary{L"siusbxp-without-write.dll", SiUsbXpLoad::Outcome::OrdinalMissing, o::kWrite, "write"},
    // Its read and write sit at each other's ordinals, under their own names.
    WrongLibrary{L"siusbxp-swapped.dll", SiUsbXpLoad::Outcome::OrdinalMismatch, o::kRead, "read"}));

// A library of the right name in the current folder, not the program's,
// is not loaded: the current folder is where a planted one would lie.
TEST(SiUsbXpLibraryTest, LibraryInTheCurrentFolderIsNotLoaded)
{
    const SiUsbXpLibrary beside;
    ASSERT_NE(beside.Functions(), nullptr);
    wchar_t temp[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"rvz-planted";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(beside.Load().path.c_str(), (folder + L"\\planted.dll").c_str(), FALSE));
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    const SiUsbXpLibrary planted(L"planted.dll");
    ::SetCurrentDirectoryW(previous);
    ::DeleteFileW((folder + L"\\planted.dll").c_str());
    ::RemoveDirectoryW(folder.c_str());
    EXPECT_EQ(planted.Functions(), nullptr);
    EXPECT_EQ(planted.Load().outcome, SiUsbXpLoad::Outcome::LibraryMissing);
}

TEST(SiUsbXpLibraryTest, LibraryBesideTheExecutableIsFoundByTheUsualSearch)
{
    const SiUsbXpLibrary library;
    ASSERT_NE(library.Functions(), nullptr);
    // Beside the test, in the folder the build puts every executable in;
    // Windows names are compared without regard to case.
    std::wstring path = library.Load().path;
    std::transform(path.begin(), path.end(), path.begin(), [](wchar_t c) { return std::towlower(c); });
    EXPECT_TRUE(path.ends_with(L"\\bin\\siusbxp.dll"));
}
#endif

}  // namespace
}  // namespace rvz
