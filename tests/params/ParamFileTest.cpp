// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file on disk.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif
#include <fstream>
#include <functional>
#include <iterator>

#include "ParamFile.h"
#include "TempDir.h"

namespace rvz {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class ParamFileTest : public ::testing::Test {
protected:
    static void WriteBytes(const fs::path& file, const Bytes& bytes)
    {
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
    }
    static Bytes ReadBytes(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    test::TempDir temp{"rvz-param-"};
    const fs::path& dir = temp.path();
    const TServoConfig record{{0x00, 0x23, 0x00, 0x00, 0x00, 0x00, 0x01, 0x4E, 0x9C, 0x80, 0x0D, 0x00, 0x00, 0x00, 0x05, 0xDC}};
};

TEST_F(ParamFileTest, NewFileHoldsExactlyTheSixteenBytes)
{
    const fs::path file = dir / "Servo.svo";
    ASSERT_TRUE(WriteParamFile(file, record));
    EXPECT_EQ(ReadBytes(file), Bytes(record.Bytes.begin(), record.Bytes.end()));
}

TEST_F(ParamFileTest, LongerFileIsReadFromStartAndKeepsItsTail)
{
    const fs::path file = dir / "long.svo";
    Bytes content(20);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(0xA0 + i);
    WriteBytes(file, content);

    TServoConfig loaded;
    ASSERT_TRUE(ReadParamFile(file, loaded));
    EXPECT_EQ(Bytes(loaded.Bytes.begin(), loaded.Bytes.end()), Bytes(content.begin(), content.begin() + 16));

    ASSERT_TRUE(WriteParamFile(file, record));
    Bytes expected(record.Bytes.begin(), record.Bytes.end());
    expected.insert(expected.end(), content.begin() + 16, content.end());
    EXPECT_EQ(ReadBytes(file), expected);
}

// What stands at the chosen name, and how reading and writing it must fail.
struct RefusedCase {
    const char* name;
    std::function<fs::path(const fs::path& dir)> make;
    ParamFileError readError;
    ParamFileError writeError;
};

class RefusedFileTest : public ParamFileTest, public ::testing::WithParamInterface<RefusedCase> {};

// Each case must end at once: a pipe opened for blocking use would hang here.
TEST_P(RefusedFileTest, FailsWithItsReasonAndChangesNothing)
{
    const fs::path file = GetParam().make(dir);
    TServoConfig loaded = record;
    const TServoConfig other{};
    EXPECT_EQ(ReadParamFile(file, loaded).error, GetParam().readError);
    EXPECT_EQ(loaded, record);
    EXPECT_EQ(WriteParamFile(file, other).error, GetParam().writeError);
    if (fs::is_regular_file(file)) {
        EXPECT_NE(ReadBytes(file), Bytes(other.Bytes.begin(), other.Bytes.end()));
    }
}

// Each platform's folder, device and missing folder; a pipe where the
// system offers named pipes in its file tree.
std::vector<RefusedCase> RefusedCases()
{
    std::vector<RefusedCase> cases{
        {"Folder", [](const fs::path& dir) { return dir; }, ParamFileError::NotRegularFile,
         ParamFileError::NotRegularFile},
        {"MissingFolder", [](const fs::path& dir) { return dir / "no-such-folder" / "x.svo"; },
         ParamFileError::CannotOpen, ParamFileError::CannotOpen},
    };
#if defined(_WIN32)
    cases.push_back({"Device", [](const fs::path&) { return fs::path(L"NUL"); }, ParamFileError::NotRegularFile,
                     ParamFileError::NotRegularFile});
#else
    cases.push_back({"Device", [](const fs::path&) { return fs::path("/dev/zero"); }, ParamFileError::NotRegularFile,
                     ParamFileError::NotRegularFile});
    cases.push_back({"Pipe",
                     [](const fs::path& dir) {
                         const fs::path pipe = dir / "x.svo";
                         EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
                         return pipe;
                     },
                     ParamFileError::NotRegularFile, ParamFileError::NotRegularFile});
    // Written through, a link that leads nowhere would make a file elsewhere.
    cases.push_back({"DanglingLink",
                     [](const fs::path& dir) {
                         fs::create_symlink("gone.svo", dir / "x.svo");
                         return dir / "x.svo";
                     },
                     ParamFileError::CannotOpen, ParamFileError::DanglingLink});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(ParamFile, RefusedFileTest, ::testing::ValuesIn(RefusedCases()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ParamFileTest, MissingFolderIsNamedAsSuch)
{
    TServoConfig loaded;
    const ParamFileResult result = ReadParamFile(dir / "no-such-folder" / "x.svo", loaded);
    EXPECT_EQ(DescribeParamFileError(result), "The file or its folder does not exist.");
}

// A name outside any ANSI code page is written and read under that name.
TEST_F(ParamFileTest, NameInAnyScriptIsKept)
{
    const fs::path file = dir / fs::path(u8"伺服-ø.svo");
    ASSERT_TRUE(WriteParamFile(file, record));
    TServoConfig loaded;
    ASSERT_TRUE(ReadParamFile(file, loaded));
    EXPECT_EQ(loaded, record);
    EXPECT_EQ(fs::directory_iterator(dir)->path().filename(), fs::path(u8"伺服-ø.svo"));
}

TEST_F(ParamFileTest, ShortFileIsNotAParameterFile)
{
    const fs::path file = dir / "short.svo";
    WriteBytes(file, Bytes(15, 0x11));
    TServoConfig loaded = record;
    const ParamFileResult result = ReadParamFile(file, loaded);
    EXPECT_EQ(result.error, ParamFileError::NotParameterFile);
    EXPECT_EQ(loaded, record);
    EXPECT_NE(DescribeParamFileError(result).find("not a parameter file"), std::string::npos);
}

#if !defined(_WIN32)
// A file that may grow only to 8 bytes stands for a full disk: the failed
// write must be reported, never taken for a save.
TEST_F(ParamFileTest, WriteThatRunsOutOfRoomFails)
{
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const ParamFileResult result = WriteParamFile(dir / "full.svo", record);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result.error, ParamFileError::WriteFailed);
    EXPECT_EQ(result.systemError, EFBIG);
}

TEST_F(ParamFileTest, FileHeldByAnotherProgramIsLeftAlone)
{
    const fs::path file = dir / "held.svo";
    const Bytes content(16, 0x77);
    WriteBytes(file, content);
    const int holder = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    TServoConfig loaded = record;
    EXPECT_EQ(ReadParamFile(file, loaded).error, ParamFileError::InUse);
    EXPECT_EQ(WriteParamFile(file, record).error, ParamFileError::InUse);
    ::close(holder);
    EXPECT_EQ(ReadBytes(file), content);
    EXPECT_EQ(loaded, record);
}

#else
// Another program that has the file open, even only for reading and
// letting others read, keeps it: nothing is read or written.
TEST_F(ParamFileTest, FileHeldByAnotherProgramIsLeftAlone)
{
    const fs::path file = dir / "held.svo";
    const Bytes content(16, 0x77);
    WriteBytes(file, content);
    for (const DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        const HANDLE holder = ::CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        TServoConfig loaded = record;
        EXPECT_EQ(ReadParamFile(file, loaded).error, ParamFileError::InUse) << share;
        EXPECT_EQ(WriteParamFile(file, record).error, ParamFileError::InUse) << share;
        EXPECT_EQ(loaded, record);
        ::CloseHandle(holder);
    }
    EXPECT_EQ(ReadBytes(file), content);
}
#endif

}  // namespace
}  // namespace rvz
