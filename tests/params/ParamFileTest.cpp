// The parameter file on disk.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
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

TEST_F(ParamFileTest, ShortFileIsRefusedAndRecordUntouched)
{
    const fs::path file = dir / "short.svo";
    WriteBytes(file, Bytes(15, 0x11));
    TServoConfig loaded = record;
    EXPECT_FALSE(ReadParamFile(file, loaded));
    EXPECT_EQ(loaded, record);
}

TEST_F(ParamFileTest, MissingOrUnopenableFilesFailQuietly)
{
    TServoConfig loaded = record;
    EXPECT_FALSE(ReadParamFile(dir / "none.svo", loaded));
    EXPECT_FALSE(ReadParamFile(dir, loaded));
    EXPECT_FALSE(WriteParamFile(dir / "no-such-folder" / "x.svo", record));
    EXPECT_FALSE(WriteParamFile(dir, record));
    EXPECT_EQ(loaded, record);
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
    EXPECT_FALSE(ReadParamFile(file, loaded));
    EXPECT_FALSE(WriteParamFile(file, record));
    ::close(holder);
    EXPECT_EQ(ReadBytes(file), content);
    EXPECT_EQ(loaded, record);
}

}  // namespace
}  // namespace rvz
