#include "support/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fixtures/temp_dir.h"

namespace clipmill {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, ReplacesContentKeepsModeAndLeavesNoTemporaryFile) {
    TempDir dir;
    fs::path target = dir.write("a.json", "old content that is longer");
    ::chmod(target.c_str(), 0640);

    ASSERT_TRUE(writeFileAtomically(target, std::string("new\0bytes", 9)));

    EXPECT_EQ(dir.read("a.json"), std::string("new\0bytes", 9));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.json"});

    ASSERT_TRUE(writeFileAtomically(dir.path() / "fresh.json", "x"));
    EXPECT_EQ(dir.read("fresh.json"), "x");
}

TEST(AtomicFile, FailedRenameLeavesTargetAndFolderAsTheyWere) {
    TempDir dir;
    dir.write("busy.json/inside", "kept");  // the target name is taken by a folder

    EXPECT_FALSE(writeFileAtomically(dir.path() / "busy.json", "new"));
    EXPECT_EQ(dir.read("busy.json/inside"), "kept");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"busy.json"});

    EXPECT_FALSE(writeFileAtomically(dir.path() / "missing" / "a.json", "new"));
}

// A write that runs into the file-size limit fails half-way, as on a full disk. It runs
// in a child so the limit does not reach the test program.
TEST(AtomicFile, FailedWriteLeavesOldFileIntact) {
    TempDir dir;
    fs::path target = dir.write("a.json", "old");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        bool written = writeFileAtomically(target, std::string(4096, 'n'));
        ::_exit(written ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have reported failure";
    EXPECT_EQ(dir.read("a.json"), "old");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"a.json"});
}

TEST(AtomicFile, ReadWholeFile) {
    TempDir dir;
    std::string big(200000, 'b');
    big[100] = '\0';
    dir.write("big", big);
    dir.write("sub/x", "");

    EXPECT_EQ(readWholeFile(dir.path() / "big"), big);
    EXPECT_EQ(readWholeFile(dir.path() / "sub" / "x"), "");
    EXPECT_EQ(readWholeFile(dir.path() / "none"), std::nullopt);
    EXPECT_EQ(readWholeFile(dir.path() / "sub"), std::nullopt);
}

}  // namespace
}  // namespace clipmill
