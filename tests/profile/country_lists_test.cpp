#include "profile/country_lists.h"

#include "common/text.h"
#include "dialog/workflow.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"
#include "resources/resource.h"
#include "tests/profile/temp_dir.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_seam.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace profile;

namespace {

const std::string kCountries = "[tolvx]\r\n"
                               "00=Japan,jp,00\r\n"
                               "B5=United States,us,B5\r\n"
                               "3D=France,fr,3D\r\n"
                               "US2=United States (2),us,B5\r\n"
                               "7E=New Zealand,nz,7E\r\n";

// One start of the program: fresh values, the profile beside it loaded.
class CountryLists : public ::testing::Test {
  protected:
    CountryLists() {
        dir.write("TOLVEX.INI", kCountries);
        seam.set_string(IDS_CURRENT_FMT, "Your modem is currently set for %s");
        start_run();
    }

    void start_run() {
        fake::fake_port().reset();
        modem::reset_conversation_values();
        reset_values();
        reset_country_lists();
        workflow::reset();
        load_profile_for(dir.file("tarvelle.exe").c_str());
    }

    std::vector<std::string> parse(const char* answer, int gci) {
        modem::use_gci = gci;
        char text[500];
        copy_text(text, answer);
        CCTestMembers(text);
        return std::vector<std::string>(supported_entries, supported_entries + supported_count);
    }

    std::string profile_text() const { return TempDir::read(dir.file("TOLVEX.INI")); }

    std::string profile_value(const char* section, const char* key) const {
        char value[200];
        get_profile_string(section, key, value, sizeof value, profile_path);
        return value;
    }

    TempDir dir;
    fake::FakeSeam seam;
};

using Items = std::vector<std::string>;

} // namespace

TEST_F(CountryLists, ParsingTakesEachItemUpToItsSeparator) {
    struct Case {
        const char* answer;
        int gci;
        Items items;
    } cases[] = {
        {"00,,09)", 0, {"Japan"}}, // two separators in a row end the list
        {"00,09", 1, {"Japan"}},   // the last item needs its ")"
        {"3D,00) and more", 1, {"France", "Japan"}},
        {"b5)", 1, {"United States"}}, // a key in any letter case
        {"5)", 0, {"United States"}},  // AT*nc codes match as substrings
        {")", 0, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse(c.answer, c.gci), c.items) << c.answer;
    }
}

TEST_F(CountryLists, ParsingAddsUnknownCodesToTheProfileForAtNcOnly) {
    const std::string before = profile_text();
    EXPECT_EQ(parse("00,09,B5)", 1), (Items{"Japan", "Unknown Country - 09", "United States"}));
    EXPECT_EQ(bogus_count, 1);
    EXPECT_EQ(profile_text(), before);

    start_run();
    EXPECT_EQ(parse("00,09,B5)", 0), (Items{"Japan", "Unknown Country - 09", "United States"}));
    EXPECT_EQ(bogus_count, 1);
    EXPECT_EQ(profile_value("tolvx", "Bogus0"), "Unknown Country - 09,unkn,09");

    // An item keeps a blank in front of it, in the list and in the profile.
    EXPECT_EQ(parse("00, 7E)", 0), (Items{"Japan", "Unknown Country -  7E"}));
    EXPECT_EQ(profile_value("tolvx", "Bogus1"), "Unknown Country -  7E,unkn, 7E");
}

TEST_F(CountryLists, ASecondRunKeepsTheFirstRunsUnknownCodes) {
    parse("00,09)", 0);
    start_run(); // Bogus0 is now in the key list, so 09 is known by its code
    EXPECT_EQ(parse("09,0C)", 0), (Items{"Unknown Country - 09", "Unknown Country - 0C"}));
    EXPECT_EQ(profile_value("tolvx", "Bogus0"), "Unknown Country - 09,unkn,09");
    EXPECT_EQ(profile_value("tolvx", "Bogus1"), "Unknown Country - 0C,unkn,0C");

    // A code met again before it could join the key list is not recorded twice.
    parse("0C,0D)", 0);
    EXPECT_EQ(profile_value("tolvx", "Bogus2"), "Unknown Country - 0D,unkn,0D");
    EXPECT_EQ(profile_value("tolvx", "Bogus3"), "");
}

TEST_F(CountryLists, ListsBeyondTheirCapacityAreCutNotOverflowed) {
    std::string many;
    for (int i = 0; i < 250; ++i) {
        many += "X" + std::to_string(i) + ",";
    }
    many += ")";
    char text[4096];
    copy_text(text, many.c_str());
    modem::use_gci = 1;
    EXPECT_EQ(CCTestMembers(text), SUPPORTED_CAPACITY);
    EXPECT_STREQ(supported_entries[SUPPORTED_CAPACITY - 1], "Unknown Country - X199");

    // A code too long for an entry's code field is listed (cut) but never recorded.
    start_run();
    std::string long_code(400, 'L');
    Items items = parse((long_code + ")").c_str(), 0);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0], ("Unknown Country - " + long_code).substr(0, SUPPORTED_TEXT_SIZE - 1));
    EXPECT_EQ(profile_value("tolvx", "Bogus0"), "");
}

TEST_F(CountryLists, PresentCountryBySavedKeyThenChoiceThenCode) {
    const std::vector<std::string> list = {"Japan", "United States", "France", "United States (2)"};
    struct Case {
        const char* name;
        const char* i9;
        const char* choice; // "cccfg" cc, or "" for none
        const char* i5;
        int gci;
        int selected; // in `list`
        const char* codes;
    } cases[] = {
        {"the modem's note wins over its code", "00", "", "B5", 0, 0, ""},
        {"a remembered choice with another code is passed over", "", "3D", "B5", 0, 1, ""},
        {"a remembered choice with the modem's code wins", "", "US2", "B5", 0, 3, ""},
        {"AT+GCI takes the code as a key", "ZZ", "", "3d", 1, 2, ""},
        {"a known country missing from the list", "", "", "7E", 0, -1, ""},
        {"nothing fits: the raw codes", "ZZ", "", "77", 0, -1, "Current i5 - 77, i9 - ZZ"},
    };
    for (const Case& c : cases) {
        dir.write("TOLVEX.INI", kCountries);
        start_run();
        if (c.choice[0] != '\0') {
            write_profile_string("cccfg", "cc", c.choice, profile_path);
        }
        seam.combo_reset(IDC_COUNTRY);
        for (const std::string& item : list) {
            seam.combo_add(IDC_COUNTRY, item.c_str());
        }
        seam.set_text(IDC_STATUS, "");
        seam.set_text(IDC_CURRENT_CODES, "");
        modem::use_gci = c.gci;
        copy_text(modem::i9_text, c.i9);
        copy_text(modem::i5_code, c.i5);
        show_current_country();
        EXPECT_EQ(seam.combo(IDC_COUNTRY).selected, c.selected) << c.name;
        EXPECT_TRUE(seam.enabled(IDC_COUNTRY)) << c.name;
        EXPECT_EQ(seam.text(IDC_STATUS),
                  c.selected < 0 ? "" : "Your modem is currently set for " + list[c.selected])
            << c.name;
        EXPECT_EQ(seam.text(IDC_CURRENT_CODES), c.codes) << c.name;
    }
}

TEST_F(CountryLists, ApplyRecordsTheChoiceAndWritesTheNoteOnlyWhenNeeded) {
    struct Case {
        const char* name;
        int gci;
        const char* i9;
        int close_when_done;
        const char* choice; // "cccfg" cc afterwards
        std::vector<std::string> writes;
        int busy; // 0 once the apply has finished
    } cases[] = {
        {"AT*nc, the note holds the key already", 0, "3D", 0, "3D", {}, 0},
        {"AT*nc, the note names another entry", 0, "B5", 0, "3D", {"ATi9##\r"}, 1},
        {"AT+GCI started with OK ends the program", 1, "", 1, "", {}, 0},
    };
    for (const Case& c : cases) {
        dir.write("TOLVEX.INI", kCountries);
        start_run();
        ASSERT_EQ(CCfindSetCur("France"), 1);
        workflow::busy = 1;
        workflow::close_when_done = c.close_when_done;
        modem::use_gci = c.gci;
        copy_text(modem::i9_text, c.i9);
        seam.set_text(IDC_STATUS, "");
        finish_apply();
        EXPECT_EQ(profile_value("cccfg", "cc"), c.choice) << c.name;
        EXPECT_EQ(fake::fake_port().writes(), c.writes) << c.name;
        EXPECT_EQ(workflow::busy, c.busy) << c.name;
        if (c.busy == 0) {
            EXPECT_EQ(fake::fake_port().closed(), 1) << c.name;
            EXPECT_EQ(modem::conversation_state.load(), CMD_IDLE) << c.name;
            EXPECT_EQ(seam.text(IDC_STATUS), "Your modem is currently set for France") << c.name;
        } else {
            EXPECT_STREQ(modem::i9_text, "3D") << c.name; // what ATi9cc%s# will carry
        }
        EXPECT_EQ(seam.destroyed(), c.close_when_done) << c.name;
    }
}

TEST_F(CountryLists, ApplyWithTheCursorOnNoEntryFailsInsteadOfFinishing) {
    EXPECT_EQ(CCfindSetCur("Atlantis"), 0); // leaves the cursor on the list's end
    workflow::busy = 1;
    workflow::close_when_done = 1;
    copy_text(modem::i5_code, "B5");
    finish_apply();
    EXPECT_EQ(profile_value("cccfg", "cc"), "");
    EXPECT_TRUE(fake::fake_port().writes().empty());
    ASSERT_EQ(seam.boxes().size(), 1u);
    EXPECT_EQ(seam.boxes()[0].text, "Failure to set the Country Code!");
    EXPECT_EQ(seam.text(IDC_CURRENT_CODES), "Current i5 - B5, i9 - ");
    EXPECT_EQ(seam.text(IDC_STATUS), "");
    EXPECT_EQ(workflow::busy, 0);
    EXPECT_EQ(seam.destroyed(), 0);
    EXPECT_EQ(modem::conversation_state.load(), CMD_IDLE);
}
