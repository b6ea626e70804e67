// SPDX-License-Identifier: GPL-3.0-or-later
// The preferences file on disk.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <algorithm>

#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#endif

#include "Reg.h"
#include "SystemPaths.h"
#include "TempDir.h"

namespace rvz {
namespace {

namespace fs = std::filesystem;

class RegTest : public ::testing::Test {
protected:
    void Write(const std::string& content) const { std::ofstream(file, std::ios::binary) << content; }
    std::string Read() const
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    test::TempDir temp{"rvz-reg-"};
    const fs::path& dir = temp.path();
    fs::path file = dir / "rivivev-uvezi.dat";
    TPreferences prefs;
};

TEST(PreferencesPathTest, ReplacesOrAppendsExtension)
{
    EXPECT_EQ(PreferencesPathFor("/opt/tool/Servo.exe"), fs::path("/opt/tool/Servo.dat"));
    EXPECT_EQ(PreferencesPathFor("/usr/bin/rivivev-uvezi"), fs::path("/usr/bin/rivivev-uvezi.dat"));
    EXPECT_EQ(PreferencesPathFor("/home/a.b/tool"), fs::path("/home/a.b/tool.dat"));
    EXPECT_EQ(PreferencesPathFor("/x/archive.tar.gz"), fs::path("/x/archive.tar.dat"));
}

#if defined(_WIN32)
TEST(PreferencesPathTest, TakesWindowsPathsApart)
{
    EXPECT_EQ(PreferencesPathFor(L"C:\\Tools\\a.b\\Servo.exe"), fs::path(L"C:\\Tools\\a.b\\Servo.dat"));
    EXPECT_EQ(PreferencesPathFor(L"D:\\伺服\\工具.exe"), fs::path(L"D:\\伺服\\工具.dat"));
}
#endif

// The running test's own executable, in whatever folder it was started
// from: a folder name the system could not hand over whole would name a
// folder that does not exist.
TEST(PreferencesPathTest, NamesTheRunningExecutablesFolder)
{
    const fs::path preferences = PreferencesPath();
    EXPECT_TRUE(fs::is_directory(preferences.parent_path())) << preferences.u8string().size();
    EXPECT_EQ(preferences.extension(), fs::path(".dat"));
    EXPECT_TRUE(preferences.stem().native().starts_with(fs::path("reg_test").native()));
}

// Beside the executable when a file lies there, or for a portable copy whose
// folder is writable; otherwise the same name in the user's folder, which a
// save then makes. An installed program never writes beside itself.
#ifndef _WIN32
// A program in the folder the build installs to is an installed one; a copy
// anywhere else, or one installed under the user's home, is portable.
TEST(InstalledProgramTest, IsTheOneInTheBuildsInstallFolder)
{
    const fs::path bindir = RVZ_INSTALL_BINDIR;
    const char* home = std::getenv("HOME");
    const std::string saved = home ? home : "";
    struct Row {
        fs::path executable;
        const char* home;
        bool installed;
    };
    const fs::path build = fs::temp_directory_path() / "build" / "app" / "rivivev-uvezi";
    const Row rows[] = {
        {bindir / "rivivev-uvezi", "/home/ana", true},
        {bindir / "sub" / "rivivev-uvezi", "/home/ana", bindir.string().starts_with("/usr")},
        {build, "/home/ana", false},
        {"/usr/bin/rivivev-uvezi", "/", true},       // root's HOME may be "/"
        {"/usr/bin/rivivev-uvezi", "/usr", true},    // or anything at all
        {"/usr/bin/rivivev-uvezi", nullptr, true},
        {"/opt/rivivev/bin/rivivev-uvezi", "/home/ana", true},
        {bindir / "rivivev-uvezi", bindir.parent_path().c_str(), bindir.string().starts_with("/usr")},
    };
    for (const Row& row : rows) {
        if (row.home)
            ::setenv("HOME", row.home, 1);
        else
            ::unsetenv("HOME");
        EXPECT_EQ(InstalledProgram(row.executable), row.installed)
            << row.executable << " with HOME=" << (row.home ? row.home : "(unset)");
    }
    ::setenv("HOME", saved.c_str(), 1);
}
#else
// A program in the folder the installer recorded (its bin) is an installed
// one; the zip, unpacked anywhere else, records nothing.
TEST(InstalledProgramTest, IsTheOneInTheFolderTheInstallerRecorded)
{
    const fs::path folder = fs::temp_directory_path() / "Rivivev Uvezi test install";
    fs::create_directories(folder / "bin");
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Rivivev Uvezi\\Rivivev Uvezi", 0, nullptr, 0,
                                KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring value = folder.wstring();
    ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    EXPECT_TRUE(InstalledProgram(folder / "bin" / "rivivev-uvezi.exe"));
    EXPECT_FALSE(InstalledProgram(folder / "rivivev-uvezi.exe"));
    EXPECT_FALSE(InstalledProgram(fs::temp_directory_path() / "portable" / "bin" / "rivivev-uvezi.exe"));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Rivivev Uvezi");
    EXPECT_FALSE(InstalledProgram(folder / "bin" / "rivivev-uvezi.exe"));
    fs::remove_all(folder);
}
#endif

TEST_F(RegTest, PreferencesStayBesideTheProgramUnlessItsFolderIsClosed)
{
    const fs::path beside = dir / "bin" / "rivivev-uvezi.dat";
    const fs::path user = dir / "config" / "rivivev-uvezi";
    fs::create_directories(beside.parent_path());
    const auto writable = [](const fs::path&) { return true; };
    const auto closed = [](const fs::path&) { return false; };

    const fs::path inUserFolder = user / "rivivev-uvezi.dat";
    EXPECT_EQ(ChoosePreferencesPath(beside, user, false, writable), beside) << "a portable copy";
    EXPECT_EQ(ChoosePreferencesPath(beside, user, false, closed), inUserFolder) << "a portable copy, read-only";
    EXPECT_EQ(ChoosePreferencesPath(beside, user, true, writable), inUserFolder) << "installed, run by root";
    EXPECT_EQ(ChoosePreferencesPath(beside, user, true, closed), inUserFolder) << "installed";
    EXPECT_EQ(ChoosePreferencesPath(beside, fs::path(), true, closed), beside)
        << "no user folder to go to";
    std::ofstream(beside) << "";
    EXPECT_EQ(ChoosePreferencesPath(beside, user, false, closed), beside) << "an existing file wins";
    EXPECT_EQ(ChoosePreferencesPath(beside, user, true, writable), beside) << "an existing file wins, installed too";

    prefs.Changed = true;
    prefs.Language = 1;
    const fs::path chosen = ChoosePreferencesPath(dir / "elsewhere" / "tool.dat", user, true, writable);
    SavePreferences(prefs, chosen);
    TPreferences loaded;
    ASSERT_TRUE(LoadPreferences(loaded, chosen)) << "the user's folder is made at the first save";
    EXPECT_EQ(loaded.Language, 1);
}

TEST_F(RegTest, NoFileReportsFalseAndKeepsRecord)
{
    prefs.Language = 1;
    prefs.Changed = true;
    EXPECT_FALSE(LoadPreferences(prefs, file));
    EXPECT_EQ(prefs.Language, 1);
    EXPECT_FALSE(prefs.Changed);
    fs::create_directory(file);
    EXPECT_FALSE(LoadPreferences(prefs, file)) << "a folder of that name counts as no file";
}

struct FileCase {
    const char* name;
    std::string content;
    std::int32_t language;
    std::string reserved1;
    std::string reserved2;
};

class LoadTest : public RegTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(LoadTest, ReadsFile)
{
    const FileCase& c = GetParam();
    Write(c.content);
    prefs.Changed = true;
    EXPECT_TRUE(LoadPreferences(prefs, file));
    EXPECT_EQ(prefs.Language, c.language);
    EXPECT_EQ(prefs.Reserved1, c.reserved1);
    EXPECT_EQ(prefs.Reserved2, c.reserved2);
    EXPECT_FALSE(prefs.Changed);
}

const std::string kCrLf = "USB servo register file!\r\nr1\r\nr2\r\n1\r\nDo'nt edit the file!\r\n";

INSTANTIATE_TEST_SUITE_P(Files, LoadTest,
    ::testing::Values(
        FileCase{"CrLf", kCrLf, 1, "r1", "r2"},
        FileCase{"LfOnly", "h\nr1\nr2\n1\nt\n", 1, "r1", "r2"},
        FileCase{"CrOnly", "h\rr1\rr2\r1\rt", 1, "r1", "r2"},
        FileCase{"MixedEndsAndEmptyLines", "h\r\n\n\r2\rt", 2, "", ""},
        FileCase{"FourLinesTakeNothing", "h\r\nr1\r\nr2\r\n2\r\n", 0, "", ""},
        FileCase{"EmptyFile", "", 0, "", ""},
        FileCase{"AnyHeaderAndTrailer", "x\r\na\r\nb\r\n2\r\ny\r\nmore\r\nlines\r\n", 2, "a", "b"},
        FileCase{"LeadingSpace", "h\r\na\r\nb\r\n 2\r\nt\r\n", 2, "a", "b"},
        FileCase{"TrailingBlank", "h\r\na\r\nb\r\n2 \r\nt\r\n", 0, "a", "b"},
        FileCase{"Word", "h\r\na\r\nb\r\ntwo\r\nt\r\n", 0, "a", "b"},
        FileCase{"Hex", "h\r\na\r\nb\r\n$2\r\nt\r\n", 2, "a", "b"},
        FileCase{"OutOfRangeKept", "h\r\na\r\nb\r\n7\r\nt\r\n", 7, "a", "b"},
        FileCase{"NulEndsText", std::string("h\r\na\r\nb\r\n1\r\n\0t\r\n", 16), 0, "", ""},
        FileCase{"NonAsciiReserved", "h\r\n\xA4\xA4\xA4\xE5\r\n\xFF\xFE\r\n1\r\nt", 1, "\xA4\xA4\xA4\xE5", "\xFF\xFE"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(RegTest, SaveWritesOnlyWhenChanged)
{
    prefs.Language = 1;
    SavePreferences(prefs, file);
    EXPECT_FALSE(fs::exists(file));
    Write("untouched");
    SavePreferences(prefs, file);
    EXPECT_EQ(Read(), "untouched");
}

TEST_F(RegTest, SimplifiedChineseAfterNoFileIs55Bytes)
{
    ASSERT_FALSE(LoadPreferences(prefs, file));
    prefs.Language = 1;
    prefs.Changed = true;
    SavePreferences(prefs, file);
    const std::string expected = "USB servo register file!\r\n\r\n\r\n1\r\nDo'nt edit the file!\r\n";
    EXPECT_EQ(Read(), expected);
    EXPECT_EQ(Read().size(), 55u);
    EXPECT_TRUE(prefs.Changed);
}

TEST_F(RegTest, RoundTripKeepsReservedBytesAndWritesFiveLines)
{
    Write("h\nr\xA4\xA4\n\xFF\r\n0\nt\nsixth\nseventh");
    ASSERT_TRUE(LoadPreferences(prefs, file));
    prefs.Language = 2;
    prefs.Changed = true;
    SavePreferences(prefs, file);
    EXPECT_EQ(Read(), "USB servo register file!\r\nr\xA4\xA4\r\n\xFF\r\n2\r\nDo'nt edit the file!\r\n");
}

#if !defined(_WIN32)
TEST_F(RegTest, FileThatCannotBeReadRaisesWithPath)
{
    // A socket exists and is no folder, yet no one can open it as a file,
    // not even root.
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (dir / "s.dat").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    try {
        LoadPreferences(prefs, socketPath);
        ADD_FAILURE() << "no error raised";
    } catch (const PreferencesError& error) {
        EXPECT_NE(std::string(error.what()).find("s.dat"), std::string::npos);
    }
    ::close(sock);
}
#endif

TEST_F(RegTest, UnwritableFolderRaises)
{
    prefs.Changed = true;
    std::ofstream(dir / "a-file") << "";  // no folder can be made where a file lies
    try {
        SavePreferences(prefs, dir / "a-file" / "x.dat");
        FAIL() << "no error raised";
    } catch (const PreferencesError& error) {
        EXPECT_NE(std::string(error.what()).find("a-file"), std::string::npos);
    }
    fs::create_directory(file);
    EXPECT_THROW(SavePreferences(prefs, file), PreferencesError) << "a folder in the file's place";
}

}  // namespace
}  // namespace rvz
