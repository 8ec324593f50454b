// Writes of the profile that fail part way: the profile is always a whole
// file, old or new. (Two writers at once: the command line's attacker test.)
#include "profile/profile_file.h"

#include "tests/profile/profile_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using profile::get_profile_string;
using profile::write_profile_string;

namespace {

// A profile bigger than stdio's buffers, so a failing write shows in the
// write itself and not only in the flush.
std::string big_profile() {
    std::string text = "[tolvx]\r\n";
    for (int i = 0; text.size() < 100 * 1024; ++i) {
        text += "K" + std::to_string(i) + "=Country number " + std::to_string(i) + ",xx,00\r\n";
    }
    return text;
}

// Runs `work` in a child process and gives its exit code (-1 when killed).
template <class Work> int in_child(Work work) {
    pid_t child = fork();
    if (child == 0) {
        _exit(work());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> files_in(const ProfileDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file(""))) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// The calls a write makes on its new file, in order (linked in with --wrap).
std::vector<std::string> file_calls;

} // namespace

extern "C" int __real_fsync(int fd);
extern "C" int __real_rename(const char* from, const char* to);
extern "C" int __wrap_fsync(int fd) {
    file_calls.push_back("fsync");
    return __real_fsync(fd);
}
extern "C" int __wrap_rename(const char* from, const char* to) {
    file_calls.push_back("rename");
    return __real_rename(from, to);
}

namespace {

// After a power cut the profile is the old one or the new one, never an
// empty file: the new file's data reaches the disk before it takes the name.
TEST(ProfileWriters, TheNewFileIsOnTheDiskBeforeItReplacesTheProfile) {
    ProfileDir dir;
    const std::string path = dir.file("TOLVEX.INI");
    file_calls.clear();
    ASSERT_FALSE(write_profile_string("tolvx", "k", "v", path.c_str()));
    EXPECT_EQ(file_calls, (std::vector<std::string>{"fsync", "rename"}));
}

} // namespace

TEST(ProfileWriters, AWriteCutShortOrByAUserWhoCannotReadItLeavesTheOldProfile) {
    ProfileDir dir;
    const std::string original = big_profile();
    std::string path = dir.write("TOLVEX.INI", original);
    int result = in_child([&] {
        std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
        rlimit limit{original.size() / 2, original.size() / 2};
        setrlimit(RLIMIT_FSIZE, &limit);
        return write_profile_string("tolvx", "new", "v", path.c_str()) ? 1 : 0;
    });
    EXPECT_EQ(result, 1) << "the failed write must report failure";
    std::string now = read_file(path);
    EXPECT_TRUE(now == original) << "the profile has " << now.size() << " bytes, not "
                                 << original.size();
    for (const std::string& name : files_in(dir)) {
        EXPECT_EQ(name.find("tmp"), std::string::npos) << name << " was left behind";
    }
    // Nor one by nobody, who may not even read it, in a folder nobody may write.
    ASSERT_EQ(chmod(dir.file("").c_str(), 0777) | chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(in_child([&] {
                  return setuid(65534) == 0 && write_profile_string("a", "x", "2", path.c_str())
                             ? 1
                             : 0;
              }),
              1);
    EXPECT_EQ(read_file(path), original);
}
