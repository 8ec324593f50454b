#include "profile/lookups.h"

#include "common/trace.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"
#include "tests/profile/temp_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using namespace profile;

namespace {

std::vector<std::string> traced;
void keep_trace(const char* text) {
    traced.emplace_back(text);
}

// A profile beside a pretend program in a fresh directory, loaded.
class Lookups : public ::testing::Test {
  protected:
    void load(const std::string& entries) {
        dir.write("TOLVEX.INI", "[tolvx]\n" + entries);
        reset_values();
        load_profile_for(dir.file("tarvelle.exe").c_str());
        traced.clear();
    }
    void SetUp() override { previous = set_trace_sink(keep_trace); }
    void TearDown() override { set_trace_sink(previous); }

    TempDir dir;
    TraceSink previous = nullptr;
};

std::string cursor() {
    return key_cursor;
}

} // namespace

TEST(EntrySplit, FieldsAsTheScanPatternTakesThem) {
    struct Case {
        const char* value;
        const char* name;
        const char* picture;
        const char* code;
    } cases[] = {
        {"Name ,pic ,  code", "Name ", "pic ", "code"}, // blanks before commas belong to the field
        {",pic,code", "", "", ""},
        {"a,b,c,d", "a", "b", "c"},
        {"only", "only", "", ""},
        {"a,b", "a", "b", ""},
        {"a, ,c", "a", "", ""},
        {"An extraordinarily long country name that will not fit,pic,1234567890123",
         "An extraordinarily long country name that will no", "pic", "123456789"},
    };
    for (const Case& c : cases) {
        CountryRecord record;
        std::memset(&record, 'x', sizeof record);
        split_entry(c.value, record);
        EXPECT_STREQ(record.name, c.name) << c.value;
        EXPECT_STREQ(record.picture, c.picture) << c.value;
        EXPECT_STREQ(record.code, c.code) << c.value;
    }
}

TEST(ProgramPath, ProfileSitsBesideTheProgram) {
    std::string deep = "/" + std::string(300, 'd') + "/x.exe"; // longer than program_path
    struct Case {
        std::string program;
        const char* profile;
    } cases[] = {
        {"C:\\Tools\\tarvelle.exe", "C:\\Tools\\TOLVEX.INI"},
        {"/opt/tarvelle/tarvelle", "/opt/tarvelle/TOLVEX.INI"},
        {"tarvelle.exe", "TOLVEX.INI"}, // no separator: the bare file name
        {deep, ""},                     // never a cut path
    };
    for (const Case& c : cases) {
        load_profile_for(c.program.c_str());
        EXPECT_STREQ(profile_path, c.profile) << c.program;
    }
}

TEST_F(Lookups, SearchesFindTheFirstMatchAndPlaceTheCursor) {
    load("K1=One,p1,10\nK2=Two,p2,1\nK3=Three,p3,21\nK4=Threesome,p4,44\n");
    struct Case {
        int (*search)(const char*);
        const char* text;
        int found;
        const char* name;
        const char* cursor;
    } cases[] = {
        {CCfindSetProfile, "1", 1, "One", "K1"}, // a substring: 10 comes before 1
        {CCfindSetProfile, "2", 1, "Three", "K1"},
        {CCfindSetProfile, "99", 0, "Threesome", "K1"},
        {CCfindSetCur, "Two", 1, "Two", "K2"},
        {CCfindSetCur, "Three", 1, "Three", "K3"},
        {CCfindSetProfile, "", 0, "Three", "K3"}, // an empty code changes nothing
        {CCfindSetCur, "", 1, "One", "K1"},
        {CCfindSetCur, "one", 0, "Threesome", ""}, // letter case counts; ends on the empty string
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.search(c.text), c.found) << c.text;
        EXPECT_STREQ(current_record.name, c.name) << c.text;
        EXPECT_EQ(cursor(), c.cursor) << c.text;
        EXPECT_STREQ(code_to_send, current_record.code) << c.text;
    }
    traced.clear();
    CCfindSetCur("Two");
    EXPECT_EQ(traced, (std::vector<std::string>{"\nCC CCfindSetCur\n", "New Country code 10\n",
                                                "New Country code 1\n"}));
}

TEST_F(Lookups, AKeyWithoutValueEndsEveryWalk) {
    load("K1=One,p1,10\nK2=\nK3=Three,p3,21\n");
    EXPECT_EQ(CCfindSetCur("Three"), 0);
    EXPECT_EQ(cursor(), "K2");
    EXPECT_STREQ(current_record.name, "One");
    EXPECT_EQ(CCfindSetProfile("21"), 0);
    CountryRecord record{};
    EXPECT_EQ(read_entry("k3", record), 1); // by key, in any letter case, it is there
    EXPECT_EQ(read_entry("K2", record), 0);
    EXPECT_STREQ(record.name, "Three"); // left as it was
}

TEST_F(Lookups, KeysPastTheListLimitAreNeverWalked) {
    std::string entries;
    for (int i = 1; i <= 30; ++i) { // 24 keys of 7 characters fill 192 bytes
        char key[8];
        std::snprintf(key, sizeof key, "KEY%04d", i);
        entries += std::string(key) + "=Country " + key + ",p," + std::to_string(i) + "\n";
    }
    load(entries + "KEY002=Cut key,p,cut\n");
    EXPECT_EQ(CCfindSetCur("KEY0024"), 1);
    EXPECT_EQ(CCfindSetCur("Cut key"), 1); // KEY0025 cut to KEY002 names this entry
    EXPECT_EQ(cursor(), "KEY002");
    EXPECT_EQ(CCfindSetCur("KEY0026"), 0);
}

TEST_F(Lookups, KeysTooLongForTheModemAreSkippedByWalks) {
    load("TWELVECHARSX=Long,p,99\nK1=One,p1,10\n");
    EXPECT_EQ(CCfindSetCur("Long"), 0);
    EXPECT_EQ(CCfindSetCur("One"), 1);
    EXPECT_EQ(cursor(), "K1");
    CountryRecord record{};
    EXPECT_EQ(read_entry("TWELVECHARSX", record), 1);
}

TEST(ShippedProfile, EveryEntryIsWholeAndTheKeyListFits) {
    reset_values();
    load_profile_for(TARVELLE_SOURCE_DIR "/profile/tarvelle.exe");
    char all_keys[4096];
    int length = get_profile_string("tolvx", nullptr, all_keys, sizeof all_keys, profile_path);
    ASSERT_GT(length, 150);
    ASSERT_LE(length + 1, static_cast<int>(sizeof profile_keys));
    EXPECT_EQ(std::memcmp(all_keys, profile_keys, length + 1), 0);

    std::set<std::string> codes;
    for (const char* key = profile_keys; *key != '\0'; key += std::strlen(key) + 1) {
        CountryRecord entry{};
        ASSERT_EQ(read_entry(key, entry), 1) << key;
        EXPECT_TRUE(std::strlen(key) == 2 && std::isxdigit(key[0]) && std::isxdigit(key[1]) &&
                    !std::islower(key[0]) && !std::islower(key[1]))
            << key;
        EXPECT_STREQ(entry.code, key);
        EXPECT_TRUE(std::strlen(entry.picture) == 2 && std::islower(entry.picture[0]) &&
                    std::islower(entry.picture[1]))
            << key;
        EXPECT_TRUE(codes.insert(entry.code).second) << key;
        // Picking the name in the list must land on this entry, not on an
        // earlier one whose name contains it.
        ASSERT_EQ(CCfindSetCur(entry.name), 1) << entry.name;
        EXPECT_STREQ(key_cursor, key) << entry.name;
    }
}
