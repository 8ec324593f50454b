#include "profile/country_lists.h"

#include "profile/profile_file.h"
#include "tests/profile/profile_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

using namespace profile;
using Items = std::vector<std::string>;

namespace {

const char* const kCountries = "[tolvx]\r\n00=Japan,jp,00\r\nB5=United States,us,B5\r\n"
                               "3D=France,fr,3D\r\nUS2=United States (2),us,B5\r\n"
                               "7E=New Zealand,nz,7E\r\n";

class CountryLists : public ::testing::Test {
  protected:
    CountryLists() { start_run(kCountries); }
    void start_run(const char* text = nullptr) { dir.start(text); }
    Items parse(std::string answer, int gci = 0) {
        CCTestMembers(dir.profile(), list, answer.data(), gci != 0);
        return Items(list.supported_entries, list.supported_entries + list.supported_count);
    }
    std::string value(const char* section, const char* key) const {
        char value[200];
        get_profile_string(section, key, value, sizeof value, dir.file("TOLVEX.INI").c_str());
        return value;
    }

    ProfileDir dir;
    CountryList list;
};

} // namespace

TEST_F(CountryLists, ParsingTakesEachItemUpToItsSeparator) {
    // AT+GCI codes are keys in any letter case, never recorded; AT*nc codes match as substrings.
    struct Case {
        const char* answer;
        int gci;
        Items items;
    } cases[] = {{"00,,09)", 0, {"Japan"}},
                 {"00,09", 1, {"Japan"}},
                 {"3D,b5) and more", 1, {"France", "United States"}},
                 {"5)", 0, {"United States"}},
                 {")", 0, {}},
                 {"00,09)", 1, {"Japan", "Unknown Country - 09"}}};
    for (const Case& c : cases) {
        EXPECT_EQ(parse(c.answer, c.gci), c.items) << c.answer;
    }
    EXPECT_EQ(read_file(dir.file("TOLVEX.INI")), kCountries);
}

TEST(ListAnswer, ACommaOrAClosingParenthesisMakesAList) {
    struct Case {
        const char* answer;
        ListAnswer taken;
    } cases[] = {{"00,09", ListAnswer::items},     {"B5)", ListAnswer::items},
                 {"(B5) ", ListAnswer::items},     {"00-FF)", ListAnswer::items},
                 {"()", ListAnswer::no_country},   {" ( ) ", ListAnswer::no_country},
                 {")", ListAnswer::no_country},    {"B5", ListAnswer::not_a_list},
                 {"B5)x", ListAnswer::not_a_list}, {"", ListAnswer::not_a_list},
                 {"(", ListAnswer::not_a_list}};
    for (const Case& c : cases) {
        EXPECT_EQ(judge_list_answer(c.answer), c.taken) << '"' << c.answer << '"';
    }
}

TEST_F(CountryLists, UnknownCodesOfAnAtNcModemAreRecordedOnceAndKnownAtTheNextRun) {
    EXPECT_EQ(parse("00,09,B5)"), (Items{"Japan", "Unknown Country - 09", "United States"}));
    EXPECT_EQ(value("tolvx", "Bogus0"), "Unknown Country - 09,unkn,09");
    start_run(); // Bogus0 is now in the key list, so 09 is known by its code
    EXPECT_EQ(parse("09,0C,0C)"),
              (Items{"Unknown Country - 09", "Unknown Country - 0C", "Unknown Country - 0C"}));
    EXPECT_EQ(value("tolvx", "Bogus0"), "Unknown Country - 09,unkn,09");
    EXPECT_EQ(value("tolvx", "Bogus1"), "Unknown Country - 0C,unkn,0C");
    EXPECT_EQ(value("tolvx", "Bogus2"), "");
    // Its owner made the profile read-only: a code not recorded is under no key.
    chmod(dir.file("TOLVEX.INI").c_str(), 0444);
    EXPECT_EQ(parse("0D)"), Items{"Unknown Country - 0D"});
    EXPECT_STREQ(list.supported_items[0].key, "");
}

// The codes of one list are written together, yet each is looked up as if
// those before it were in the file already: an entry with no value stops
// the walk over the entries until the first unknown code fills it.
TEST_F(CountryLists, AListSeesItsOwnRecordsAndACodeIsComparedAsItReadsBack) {
    start_run("[tolvx]\r\nBogus0=\r\n00=Japan,jp,00\r\n");
    EXPECT_EQ(parse("09,00,Y1 )"),
              (Items{"Unknown Country - 09", "Japan", "Unknown Country - Y1 "}));
    start_run();
    parse("Y1 )"); // Bogus1 reads back as "...,Y1": the same code, not recorded again
    EXPECT_EQ(value("tolvx", "Bogus1"), "Unknown Country - Y1 ,unkn,Y1");
    EXPECT_EQ(value("tolvx", "Bogus2"), "");
}

TEST_F(CountryLists, ListsBeyondTheirCapacityAreCutNotOverflowed) {
    std::string many;
    for (int i = 0; i < 250; ++i) {
        many += "X" + std::to_string(i) + ",";
    }
    Items items = parse(many + ")", 1);
    ASSERT_EQ(items.size(), static_cast<size_t>(SUPPORTED_CAPACITY));
    EXPECT_EQ(items.back(), "Unknown Country - X199");
    // A code too long for an entry's code field is listed (cut) but never recorded.
    std::string long_code(400, 'L');
    EXPECT_EQ(parse(long_code + ")"), Items{("Unknown Country - " + long_code).substr(0, 199)});
    EXPECT_EQ(value("tolvx", "Bogus0"), "");
    // Nine characters fill the field; ten can never be found again.
    parse("C23456789,C234567890)");
    EXPECT_EQ(value("tolvx", "Bogus0"), "Unknown Country - C23456789,unkn,C23456789");
    EXPECT_EQ(value("tolvx", "Bogus1"), "");
}
