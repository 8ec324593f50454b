#include "profile/profile_file.h"

#include "tests/profile/profile_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

using profile::get_profile_string;
using profile::write_profile_string;

namespace {

// The value or key list as read into a buffer of 'x' bytes of just the size
// given, after the length given back: "7:one two|", zero bytes shown as '|'
// and the untouched 'x' bytes at the end left out.
std::string read(const char* section, const char* key, size_t size, const std::string& path) {
    std::vector<char> buffer(size, 'x');
    int length = get_profile_string(section, key, buffer.data(), size, path.c_str());
    std::string shown(buffer.begin(), buffer.end());
    std::replace(shown.begin(), shown.end(), '\0', '|');
    return std::to_string(length) + ":" + shown.substr(0, shown.find_last_not_of('x') + 1);
}

const char kProfile[] = "; c=not an entry\r\n[Tolvx]\r\n  Alpha =  one two  \r\nempty=\r\n"
                        "no equals sign\r\n=orphan\r\nLong=abcdefghij\r\nnul=ab\0cd\r\n[other]\n"
                        "alpha=elsewhere\n[tolvx]\r\nlate=x\r\n[s]\nK1=a\nK2=b\nK3=c\n";

} // namespace

TEST(ProfileRead, ValuesAndKeyListsByNameInAnyCaseTrimmedAndCut) {
    ProfileDir dir;
    std::string path = dir.write("TOLVEX.INI", std::string(kProfile, sizeof kProfile - 1));
    // A key that does not fit the list whole is cut; the list still ends in two zero bytes.
    struct Case {
        const char *section, *key;
        size_t size;
        const char* shown;
    } cases[] = {
        {"tolvx", "alpha", 100, "7:one two|"}, {"other", "ALPHA", 100, "9:elsewhere|"},
        {"tolvx", "long", 5, "4:abcd|"},       {"tolvx", "nul", 100, "2:ab|"},
        {"tolvx", "empty", 100, "0:|"},        {"tolvx", "missing", 100, "0:|"},
        {"nosuch", "alpha", 100, "0:|"},       {"tolvx", "", 100, "0:|"},
        {"tolvx", "late", 100, "0:|"},         {"tolvx", nullptr, 100, "21:Alpha|empty|Long|nul||"},
        {"s", nullptr, 10, "9:K1|K2|K3||"},    {"s", nullptr, 9, "7:K1|K2|K||"},
        {"s", nullptr, 8, "6:K1|K2|||"},       {"s", nullptr, 2, "0:||"}};
    for (const Case& c : cases) {
        EXPECT_EQ(read(c.section, c.key, c.size, path), c.shown) << c.key;
    }
    EXPECT_EQ(read("tolvx", "alpha", 100, dir.file("none")), "0:|");
}

TEST(ProfileWrite, SetsOneKeyAndKeepsEveryOtherLineByteForByte) {
    struct Case {
        std::string before;
        const char *section, *key, *value;
        std::string after;
    } cases[] = {
        {"; c\r\n[tolvx]\r\n  Key = old \r\nz = 1\r\n", "TOLVX", "key", "new",
         "; c\r\n[tolvx]\r\n  Key=new\r\nz = 1\r\n"},
        {"[a]\nx=1\n\n[b]\ny=2\n", "a", "z", "3", "[a]\nx=1\nz=3\n\n[b]\ny=2\n"},
        {"[a]\n[b]\n", "A", "k", "v", "[a]\nk=v\n[b]\n"},
        {"[a]\r\nx=1", "a", "y", "2", "[a]\r\nx=1\r\ny=2\r\n"},
        {"[a]\nx=1", "cccfg", "cc", "B5", "[a]\nx=1\n[cccfg]\ncc=B5\n"},
        {"", "cccfg", "cc", "B5", "[cccfg]\r\ncc=B5\r\n"}, // a new file
        {"[a]\n", "a", "k", "v\r\n[evil]", "[a]\nk=v\n"},  // a line break never reaches the file
    };
    for (const Case& c : cases) {
        ProfileDir dir;
        std::string path = c.before.empty() ? dir.file("p.ini") : dir.write("p.ini", c.before);
        EXPECT_FALSE(write_profile_string(c.section, c.key, c.value, path.c_str())) << c.before;
        EXPECT_EQ(read_file(path), c.after) << c.before;
        for (const auto& entry : std::filesystem::directory_iterator(dir.file(""))) {
            std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "p.ini" || name == "p.ini.lock") << name << " was left behind";
        }
    }
}

TEST(ProfileWrite, RefusedOrFailedWritesLeaveTheOriginal) {
    ProfileDir dir;
    const std::string original = "[a]\nx=1\n";
    std::string path = dir.write("TOLVEX.INI", original);
    for (const char* key : {"", "k=v", " k", "[k"}) {
        EXPECT_TRUE(write_profile_string("a", key, "v", path.c_str())) << key;
    }
    EXPECT_TRUE(write_profile_string("a]", "k", "v", path.c_str()));
    EXPECT_FALSE(write_profile_string(nullptr, nullptr, nullptr, path.c_str())); // flush
    EXPECT_TRUE(write_profile_string("a", "x", "2", dir.file("missing/TOLVEX.INI").c_str()));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
    // Read-only for everyone, root included, although the folder is writable.
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    EXPECT_TRUE(write_profile_string("a", "x", "2", path.c_str()));
    EXPECT_EQ(read_file(path), original);
}

TEST(ProfileWrite, TheNewFileKeepsTheOldOnesPermissions) {
    ProfileDir dir;
    std::string path = dir.write("TOLVEX.INI", "[a]\nx=1\n");
    namespace fs = std::filesystem;
    const fs::perms kept = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, kept);
    EXPECT_FALSE(write_profile_string("a", "x", "2", path.c_str()));
    EXPECT_EQ(read_file(path), "[a]\nx=2\n");
    EXPECT_EQ(fs::status(path).permissions(), kept);
}

TEST(ProfileBadInput, DirectoriesLongLinesAndBinaryNeverBreakIt) {
    ProfileDir dir;
    EXPECT_EQ(read("a", nullptr, 100, dir.file("")), "0:||");
    EXPECT_TRUE(write_profile_string("a", "x", "1", dir.file("").c_str()));
    std::string path = dir.write("long.ini", "[a]\nlong=" + std::string(1 << 20, 'v') + "\nz=1\n");
    EXPECT_EQ(read("a", "long", 100, path), "99:" + std::string(99, 'v') + "|");
    EXPECT_EQ(read("a", nullptr, 8, path), "7:long|z||");

    // Every byte value, over and over: reads stay bounded, and a write keeps it all.
    std::string binary;
    for (int i = 0; i < 64 * 256; ++i) {
        binary += static_cast<char>((i * 7 + i / 256) & 0xff);
    }
    path = dir.write("binary.ini", binary);
    std::string list = read("a", nullptr, 100, path);
    EXPECT_EQ(list.substr(list.size() - 2), "||") << list;
    ASSERT_FALSE(write_profile_string("new", "k", "v", path.c_str()));
    EXPECT_EQ(read_file(path).compare(0, binary.size(), binary), 0);
    EXPECT_EQ(read("NEW", "K", 100, path), "1:v|");
}
