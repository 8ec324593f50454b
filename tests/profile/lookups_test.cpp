#include "profile/lookups.h"

#include "profile/profile_file.h"
#include "tests/profile/profile_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace profile;

TEST(EntrySplit, FieldsAsTheScanPatternTakesThem) {
    const char* const long_name = "An extraordinarily long country name that will not fit";
    struct Case {
        std::string value, fields;
    } cases[] = {{"Name ,pic ,  code", "Name |pic |code"}, // blanks before a comma stay
                 {"a,b,c,d", "a|b|c"},
                 {"a, ,c", "a||"},
                 {long_name + std::string(",pic,1234567890123"),
                  std::string(long_name, 49) + "|pic|123456789"}};
    for (const Case& c : cases) {
        CountryRecord record;
        std::memset(&record, 'x', sizeof record);
        split_entry(c.value.c_str(), record);
        EXPECT_EQ(std::string(record.name) + "|" + record.picture + "|" + record.code, c.fields);
    }
}

TEST(ProgramPath, ProfileSitsBesideTheProgramAndIsNeverACutPath) {
    struct Case {
        std::string program, profile;
    } cases[] = {
        {"C:\\Tools\\tarvelle.exe", "C:\\Tools\\TOLVEX.INI"},
        {"tarvelle.exe", "TOLVEX.INI"},
        {"/" + std::string(300, 'd') + "/x.exe", ""},
        // 259 characters and the NUL fill the buffer; one more is refused.
        {"/" + std::string(247, 'd') + "/x.exe", "/" + std::string(247, 'd') + "/TOLVEX.INI"},
        {"/" + std::string(248, 'd') + "/x.exe", ""}};
    for (const Case& c : cases) {
        Profile profile;
        load_profile_for(profile, c.program.c_str());
        EXPECT_EQ(profile.profile_path, c.profile);
    }
}

TEST(Lookups, SearchesFindTheFirstMatchAndPlaceTheCursor) {
    ProfileDir dir;
    Profile& p =
        dir.start("[tolvx]\nK1=One,p1,10\nK2=Two,p2,1\nK3=Three,p3,21\nK4=Threesome,p4,44\n");
    struct Case {
        int (*search)(Profile&, const char*);
        const char *text, *name, *cursor;
        int found;
    } cases[] = {{CCfindSetProfile, "1", "One", "K1", 1},
                 {CCfindSetProfile, "2", "Three", "K1", 1},
                 {CCfindSetProfile, "99", "Threesome", "K1", 0},
                 {CCfindSetCur, "Two", "Two", "K2", 1},
                 {CCfindSetCur, "Three", "Three", "K3", 1},
                 {CCfindSetProfile, "", "Three", "K3", 0},
                 {CCfindSetCur, "", "One", "K1", 1},
                 {CCfindSetCur, "one", "Threesome", "", 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.search(p, c.text), c.found) << c.text;
        EXPECT_STREQ(p.current_record.name, c.name) << c.text;
        EXPECT_STREQ(p.key_cursor, c.cursor) << c.text;
    }
}

TEST(Lookups, WalksEndAtAKeyWithoutValueAndPassOverKeysTooLongForTheModem) {
    ProfileDir dir;
    Profile& p = dir.start("[tolvx]\nTWELVECHARSX=Long,p,99\nELEVENCHARS=Eleven,p,98\n"
                           "K1=One,p1,10\nK2=\nK3=Three,p3,21\n");
    EXPECT_EQ(CCfindSetCur(p, "Eleven"), 1); // the longest key a modem's note holds
    EXPECT_STREQ(p.key_cursor, "ELEVENCHARS");
    EXPECT_EQ(CCfindSetCur(p, "Long"), 0);
    EXPECT_EQ(CCfindSetCur(p, "Three"), 0);
    EXPECT_STREQ(p.key_cursor, "K2");
    EXPECT_STREQ(p.current_record.name, "One");
    std::string visited;
    visit_entries(p, [&](const char* key, const CountryRecord& entry) {
        visited += std::string(key) + "=" + entry.name + " ";
    });
    EXPECT_EQ(visited, "ELEVENCHARS=Eleven K1=One ");
    EXPECT_STREQ(p.key_cursor, "K2"); // the visit moves neither the cursor nor the record
    EXPECT_STREQ(p.current_record.name, "One");
}
