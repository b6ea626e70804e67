// SPDX-License-Identifier: GPL-3.0-or-later
// The file-writing unit: what each kind of path gets, and a save that fails
// part way leaving the old file whole.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#endif
#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <random>

#include "FileWriting.h"
#include "TempDir.h"

namespace rvz::files {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

std::vector<std::string> Names(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

#if !defined(_WIN32)
// Root writes where permission bits say no; without this capability it is
// held to them like anyone.
class WithoutOverride {
public:
    WithoutOverride()
    {
        if (::geteuid() != 0 || ::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        m_lowered = ::syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutOverride()
    {
        if (m_lowered)
            ::syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_lowered = false;
};
#endif

// What stands at the name, what a save there must say (empty: done), and
// where the new content must then be.
struct PathCase {
    const char* name;
    std::function<fs::path(const fs::path& dir)> make;
    std::string refusal;
    const char* landsIn;  // "" when the save is refused
};

class SaveTest : public ::testing::TestWithParam<PathCase> {
protected:
    test::TempDir temp{"rvz-files-"};
    const fs::path& dir = temp.path();
};

TEST_P(SaveTest, FollowsThePolicyAndLeavesNothingBehind)
{
    const fs::path path = GetParam().make(dir);
    const bool wasLink = fs::is_symlink(path);
    const std::vector<std::string> before = Names(dir);
    std::optional<std::string> probe, saved;
    {
#if !defined(_WIN32)
        WithoutOverride held;
#endif
        probe = ProbeFolder(dir);
        saved = SaveBesideAndReplace(path, "new content");
    }
    if (GetParam().refusal.empty()) {
        EXPECT_EQ(saved, std::nullopt);
        EXPECT_EQ(Read(dir / GetParam().landsIn), "new content");
        EXPECT_EQ(fs::is_symlink(path), wasLink) << "a link stays a link";
    } else {
        ASSERT_NE(saved, std::nullopt);
        EXPECT_NE(saved->find(GetParam().refusal), std::string::npos) << *saved;
    }
    EXPECT_EQ(probe.has_value(), GetParam().refusal == "cannot be written") << probe.value_or("");
    std::vector<std::string> expected = before;
    if (GetParam().refusal.empty() && std::find(before.begin(), before.end(), GetParam().landsIn) == before.end())
        expected.push_back(GetParam().landsIn);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(dir), expected) << "no temporary, no probe, nothing else made or removed";
}

std::vector<PathCase> PathCases()
{
    std::vector<PathCase> cases{
        {"NewFile", [](const fs::path& dir) { return dir / "new.dat"; }, "", "new.dat"},
        {"PlainFile", [](const fs::path& dir) { Write(dir / "a.dat", "old"); return dir / "a.dat"; }, "", "a.dat"},
        {"LongerOldFile",
         [](const fs::path& dir) { Write(dir / "a.dat", std::string(100, 'o')); return dir / "a.dat"; }, "", "a.dat"},
        {"Folder", [](const fs::path& dir) { fs::create_directory(dir / "sub"); return dir / "sub"; }, "is a folder", ""},
        // A user's own file that happens to bear the probe's name stays.
        {"ForeignProbeName",
         [](const fs::path& dir) { Write(dir / ".rivivev-uvezi-write-test", "mine"); return dir / "b.dat"; }, "", "b.dat"},
    };
#if !defined(_WIN32)
    cases.push_back({"LinkToFile", [](const fs::path& dir) {
                         Write(dir / "real.dat", "old");
                         fs::create_symlink("real.dat", dir / "link.dat");
                         return dir / "link.dat";
                     }, "", "real.dat"});
    cases.push_back({"DanglingLink", [](const fs::path& dir) {
                         fs::create_symlink("gone.dat", dir / "link.dat");
                         return dir / "link.dat";
                     }, "is a link to \"gone.dat\", which does not exist", ""});
    cases.push_back({"LinkToFolder", [](const fs::path& dir) {
                         fs::create_directory(dir / "sub");
                         fs::create_symlink("sub", dir / "link");
                         return dir / "link";
                     }, "is a folder", ""});
    cases.push_back({"Fifo", [](const fs::path& dir) {
                         EXPECT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
                         return dir / "fifo";
                     }, "is not a regular file", ""});
    cases.push_back({"ReadOnlyFile", [](const fs::path& dir) {
                         Write(dir / "a.dat", "old");
                         fs::permissions(dir / "a.dat", fs::perms::owner_read);
                         return dir / "a.dat";
                     }, "is read-only", ""});
    cases.push_back({"ReadOnlyFolder", [](const fs::path& dir) {
                         Write(dir / "a.dat", "old");
                         fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
                         return dir / "a.dat";
                     }, "cannot be written", ""});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Paths, SaveTest, ::testing::ValuesIn(PathCases()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ProbeTest, MissingFolderCannotBeWritten)
{
    test::TempDir temp{"rvz-files-"};
    EXPECT_TRUE(FolderWritable(temp.path()));
    EXPECT_FALSE(FolderWritable(temp.path() / "no-such-folder"));
}

#if !defined(_WIN32)
TEST(SaveModeTest, ReplacedFileKeepsItsBitsAndNewFileTakesTheUmask)
{
    test::TempDir temp{"rvz-files-"};
    const fs::path old = temp.path() / "old.dat";
    Write(old, "old");
    ::chmod(old.c_str(), 0640);
    ASSERT_EQ(SaveBesideAndReplace(old, "new"), std::nullopt);
    struct stat status {};
    ASSERT_EQ(::stat(old.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);

    const mode_t mask = ::umask(027);
    ASSERT_EQ(SaveBesideAndReplace(temp.path() / "fresh.dat", "new"), std::nullopt);
    ::umask(mask);
    ASSERT_EQ(::stat((temp.path() / "fresh.dat").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

// Saves of random sizes, some cut short by a file-size limit that stands
// for a full disk: the target always holds one whole content, and nothing
// else is left in the folder.
TEST(SaveFaultTest, TargetIsAlwaysOldOrNewWhole)
{
    test::TempDir temp{"rvz-files-"};
    const fs::path target = temp.path() / "t.dat";
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    std::cout << "seed " << seed << "\n";
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::string held;
    bool made = false;
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (int step = 0; step < 60; ++step) {
        const std::string content(random() % 20000, static_cast<char>('a' + step % 26));
        struct rlimit limit = saved;
        const bool cut = random() % 2 == 0;
        if (cut)
            limit.rlim_cur = random() % 20000;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        const auto failed = SaveBesideAndReplace(target, content);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        if (!failed) {
            held = content;
            made = true;
        }
        EXPECT_EQ(failed.has_value(), cut && limit.rlim_cur < content.size()) << step;
        EXPECT_EQ(Read(target), held) << step;
        EXPECT_EQ(Names(temp.path()), made ? std::vector<std::string>{"t.dat"} : std::vector<std::string>{}) << step;
    }
    std::signal(SIGXFSZ, oldHandler);
}
#endif

}  // namespace
}  // namespace rvz::files
