#include "profile/profile_file.h"

#include "tests/profile/profile_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

using profile::get_profile_string;
using profile::write_profile_string;

namespace {

const std::string kProfile = std::string("; a comment=not an entry\r\n[Tolvx]\r\n"
                                         "  Alpha =  one two  \r\nempty=\r\n"
                                         "a line without an equals sign\r\n=orphan\r\n"
                                         "Long=abcdefghij\r\nnul=ab") +
                             '\0' + "cd\r\n[other]\nalpha=elsewhere\n[tolvx]\r\nlate=x\r\n";

// Reads into a buffer of 'x' bytes; gives its first `size` bytes, so that
// whatever was written past the end shows.
std::string read(const char* section, const char* key, size_t size, const std::string& path,
                 int* length) {
    char buffer[512];
    std::memset(buffer, 'x', sizeof buffer);
    *length = get_profile_string(section, key, buffer, size, path.c_str());
    return std::string(buffer, size);
}

} // namespace

TEST(ProfileRead, ValuesByNameInAnyCaseTrimmedAndCut) {
    ProfileDir dir;
    std::string path = dir.write("TOLVEX.INI", kProfile);
    struct Case {
        const char *section, *key;
        size_t size;
        const char* value;
    } cases[] = {
        {"tolvx", "alpha", 100, "one two"}, {"other", "ALPHA", 100, "elsewhere"},
        {"tolvx", "long", 5, "abcd"},       {"tolvx", "nul", 100, "ab"}, // a NUL ends a value
        {"tolvx", "empty", 100, ""},        {"tolvx", "missing", 100, ""},
        {"nosuch", "alpha", 100, ""},       {"tolvx", "", 100, ""}, // an empty key names nothing
        {"tolvx", "late", 100, ""}, // only the first section of a name counts
    };
    int length = -1;
    for (const Case& c : cases) {
        EXPECT_STREQ(read(c.section, c.key, c.size, path, &length).c_str(), c.value) << c.key;
        EXPECT_EQ(length, static_cast<int>(std::strlen(c.value))) << c.key;
    }
    EXPECT_STREQ(read("tolvx", "alpha", 100, dir.file("none"), &length).c_str(), "");
}

TEST(ProfileRead, KeyListEndsInTwoZerosAndCutsTheKeyThatDoesNotFit) {
    ProfileDir dir;
    std::string path = dir.write("a.ini", "[s]\nK1=a\nK2=b\nK3=c\n");
    struct Case {
        size_t size;
        std::string bytes;
        int length;
    } cases[] = {
        {10, std::string("K1\0K2\0K3\0\0", 10), 9}, // fits exactly
        {9, std::string("K1\0K2\0K\0\0", 9), 7},    // K3 cut to what fits
        {8, std::string("K1\0K2\0\0\0", 8), 6},
        {2, std::string("\0\0", 2), 0},
    };
    int length = -1;
    for (const Case& c : cases) {
        EXPECT_EQ(read("s", nullptr, c.size, path, &length), c.bytes) << c.size;
        EXPECT_EQ(length, c.length) << c.size;
    }
    // No comment, no empty key, no line without '='; nothing written past the list.
    EXPECT_EQ(read("tolvx", nullptr, 24, dir.write("b.ini", kProfile), &length),
              std::string("Alpha\0empty\0Long\0nul\0\0xx", 24));
}

TEST(ProfileWrite, SetsOneKeyAndKeepsEveryOtherLineByteForByte) {
    struct Case {
        const char* name;
        std::string before;
        const char *section, *key, *value;
        std::string after;
    } cases[] = {
        {"replace in any letter case", "; c\r\n[tolvx]\r\n  Key = old \r\nother = 1\r\n", "TOLVX",
         "key", "new", "; c\r\n[tolvx]\r\n  Key=new\r\nother = 1\r\n"},
        {"add after the section's last entry", "[a]\nx=1\n\n[b]\ny=2\n", "a", "z", "3",
         "[a]\nx=1\nz=3\n\n[b]\ny=2\n"},
        {"add to a section without entries", "[a]\n[b]\n", "A", "k", "v", "[a]\nk=v\n[b]\n"},
        {"last line without its line ending", "[a]\r\nx=1", "a", "y", "2", "[a]\r\nx=1\r\ny=2\r\n"},
        {"new section at the end", "[a]\nx=1", "cccfg", "cc", "B5", "[a]\nx=1\n[cccfg]\ncc=B5\n"},
        {"new file", "", "cccfg", "cc", "B5", "[cccfg]\r\ncc=B5\r\n"},
        {"a line break does not reach the file", "[a]\n", "a", "k", "v\r\n[evil]", "[a]\nk=v\n"},
    };
    for (const Case& c : cases) {
        ProfileDir dir;
        std::string path = c.before.empty() ? dir.file("p.ini") : dir.write("p.ini", c.before);
        EXPECT_EQ(write_profile_string(c.section, c.key, c.value, path.c_str()), 1) << c.name;
        EXPECT_EQ(ProfileDir::read(path), c.after) << c.name;
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp")) << c.name;
    }
}

TEST(ProfileWrite, RefusedOrFailedWritesLeaveTheOriginal) {
    ProfileDir dir;
    const std::string original = "[a]\nx=1\n";
    std::string path = dir.write("TOLVEX.INI", original);
    for (const char* key : {"", "k=v", " k", "[k"}) {
        EXPECT_EQ(write_profile_string("a", key, "v", path.c_str()), 0) << key;
    }
    EXPECT_EQ(write_profile_string("a", nullptr, "v", path.c_str()), 0);
    EXPECT_EQ(write_profile_string("a]", "k", "v", path.c_str()), 0);
    EXPECT_EQ(write_profile_string(nullptr, nullptr, nullptr, path.c_str()), 1); // flush

    std::filesystem::create_directory(path + ".tmp"); // the temporary file cannot be made
    EXPECT_EQ(write_profile_string("a", "x", "2", path.c_str()), 0);
    std::filesystem::remove(path + ".tmp");
    EXPECT_EQ(write_profile_string("a", "x", "2", dir.file("missing/TOLVEX.INI").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
    if (geteuid() != 0) { // root writes read-only files anyway
        std::filesystem::permissions(path, std::filesystem::perms::owner_read);
        EXPECT_EQ(write_profile_string("a", "x", "2", path.c_str()), 0);
    }
    EXPECT_EQ(ProfileDir::read(path), original);
}

TEST(ProfileBadInput, DirectoriesHugeFilesLongLinesAndBinaryNeverBreakIt) {
    ProfileDir dir;
    char buffer[100];
    EXPECT_EQ(get_profile_string("a", "x", buffer, sizeof buffer, dir.file("").c_str()), 0);
    EXPECT_EQ(get_profile_string("a", nullptr, buffer, sizeof buffer, dir.file("").c_str()), 0);
    EXPECT_EQ(write_profile_string("a", "x", "1", dir.file("").c_str()), 0);

    // Several megabytes with a megabyte-long line; the key sits at the end.
    std::string huge = "[a]\nlong=" + std::string(1 << 20, 'v') + "\n";
    for (int i = 0; i < 40000; ++i) {
        huge += "filler" + std::to_string(i) + "=some text of a line\n";
    }
    std::string path = dir.write("huge.ini", huge + "last=found\n");
    EXPECT_EQ(get_profile_string("a", "long", buffer, sizeof buffer, path.c_str()), 99);
    EXPECT_EQ(get_profile_string("a", "last", buffer, sizeof buffer, path.c_str()), 5);
    EXPECT_EQ(get_profile_string("a", nullptr, buffer, sizeof buffer, path.c_str()), 98);

    // Every byte value, over and over: reads stay bounded, and a write keeps it all.
    std::string binary;
    for (int i = 0; i < 64 * 256; ++i) {
        binary += static_cast<char>((i * 7 + i / 256) & 0xff);
    }
    path = dir.write("binary.ini", binary);
    int listed = get_profile_string("a", nullptr, buffer, sizeof buffer, path.c_str());
    ASSERT_LT(listed, 100);
    EXPECT_EQ(buffer[listed], '\0');
    ASSERT_EQ(write_profile_string("new", "k", "v", path.c_str()), 1);
    EXPECT_EQ(ProfileDir::read(path).compare(0, binary.size(), binary), 0);
    EXPECT_EQ(get_profile_string("NEW", "K", buffer, sizeof buffer, path.c_str()), 1);
}
