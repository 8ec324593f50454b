// The probe, the read and the apply as both front ends run them, for either
// dialect and with the dialog's options or the command line's: one table
// per decision, on a conversation of the test's own over the fake port.
#include "procedures/procedures.h"

#include "common/text.h"
#include "profile/profile_file.h"
#include "tests/profile/profile_dir.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_seam.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using procedures::COMMAND_LINE;
using procedures::DIALOG;
using procedures::Options;
using profile::ListAnswer;
using Texts = std::vector<std::string>;

const char* const COUNTRIES = "[tolvx]\r\n00=Japan,jp,00\r\nB5=United States,us,B5\r\n"
                              "3D=France,fr,3D\r\nUS2=United States (2),us,B5\r\n"
                              "7E=New Zealand,nz,7E\r\n";

class Procedures : public ::testing::Test {
  protected:
    Procedures() {
        fake::fake_port().reset();
        profile::reset_country_lists();
        talk.front_end = &seam;
        dir.start(COUNTRIES);
    }
    ~Procedures() override { fake::fake_port().reset(); }

    void modem_said(bool gci, const char* i5, const char* i9) {
        talk.use_gci = gci ? 1 : 0;
        copy_text(talk.i5_code, i5);
        copy_text(talk.i9_text, i9);
    }
    static std::string saved_choice() {
        char key[50];
        profile::get_profile_string(profile::CHOICE_SECTION, profile::CHOICE_KEY, key, sizeof key,
                                    profile::profile_path);
        return key;
    }

    fake::FakeSeam seam;
    modem::Conversation talk;
    ProfileDir dir;
};

std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) {
        all += text;
    }
    return all;
}

// The dialog cuts a list at 499 characters and takes a range as one code;
// the command line reads all of it and a range as the profile's keys in it.
TEST_F(Procedures, AListAnswerBecomesTheCountryListsItems) {
    // Commas at the 499th and at the 500th character: one more or one fewer
    // character kept changes the count.
    const std::string long_list = "0" + repeated("00,", 170) + "B5)";
    const std::string longer_list = "00" + repeated("00,", 170) + "B5)";
    const ListAnswer ITEMS = ListAnswer::items, NONE = ListAnswer::no_country,
                     NO_LIST = ListAnswer::not_a_list;
    const struct {
        bool gci;
        const Options& options;
        std::string reply;
        bool listed;
        ListAnswer answer;
        std::string items; // "a|b": all of them, or the last of `count`
        int count;
    } cases[] = {
        {false, DIALOG, "00,09,B5)", true, ITEMS, "Japan|Unknown Country - 09|United States", 3},
        {true, DIALOG, "3d,7E)", true, ITEMS, "France|New Zealand", 2},
        {true, DIALOG, "00-FF)", true, ITEMS, "Unknown Country - 00-FF", 1},
        {true, COMMAND_LINE, "00-FF)", true, ITEMS, "Japan|United States|France|New Zealand", 4},
        {false, COMMAND_LINE, "00-FF)", true, ITEMS, "Unknown Country - 00-FF", 1},
        {false, DIALOG, long_list, true, ITEMS, "Japan", 166},
        {false, DIALOG, longer_list, true, ITEMS, "Japan", 165},
        {false, COMMAND_LINE, long_list, true, ITEMS, "United States", 171},
        {false, DIALOG, "()", true, NONE, "", 0},
        {true, COMMAND_LINE, ")", true, NONE, "", 0},
        {false, DIALOG, "B5", true, NO_LIST, "kept", 1},
        {false, COMMAND_LINE, "00,B5)", false, NO_LIST, "kept", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 20) + (c.gci ? " gci" : " nc") +
                     (&c.options == &DIALOG ? " dialog" : " command line"));
        profile::supported_count = 1;
        copy_text(profile::supported_entries[0], "kept");
        talk.use_gci = c.gci ? 1 : 0;
        copy_text(talk.country_list_reply, c.reply.c_str());
        // The dialog's working copy holds 499 characters, the command line's the whole reply.
        std::vector<char> copy(&c.options == &DIALOG ? 500 : modem::LIST_REPLY_SIZE);
        EXPECT_EQ(procedures::take_list(talk, c.listed, c.options, copy.data(), copy.size()),
                  c.answer);
        ASSERT_EQ(profile::supported_count, c.count);
        std::string items;
        for (int i = c.count > 4 ? c.count - 1 : 0; i < c.count; ++i) {
            items += (items.empty() ? "" : "|") + std::string(profile::supported_entries[i]);
        }
        EXPECT_EQ(items, c.items);
    }
}

// Only the command line asks AT+GCI=? after a bare OK to AT*nc?, and of a
// device taken only as a standard modem; an AT*nc? refused went on by itself.
TEST_F(Procedures, TheStandardListIsAskedOnlyWhereTheFirstListSaidNothing) {
    const struct {
        const Options& options;
        unsigned id;
        const char* reply;
        bool standard_only, asked;
    } cases[] = {
        {COMMAND_LINE, CMD_LIST_NC, "", false, true},
        {COMMAND_LINE, CMD_LIST_NC, "00,B5)", false, false},
        {COMMAND_LINE, CMD_LIST_NC, "()", false, false}, // a list, of no country
        {COMMAND_LINE, CMD_LIST_NC, "00,B5)", true, true},
        {COMMAND_LINE, CMD_LIST_GCI, "", true, false},
        {DIALOG, CMD_LIST_NC, "", false, false},
    };
    for (const auto& c : cases) {
        copy_text(talk.country_list_reply, c.reply);
        EXPECT_EQ(procedures::wants_standard_list(talk, c.id, c.options, c.standard_only), c.asked)
            << c.id << " " << c.reply << " " << c.standard_only;
    }
}

// Silence at ATV1i3 closes the port, once: a second expiry of that deadline is stale.
TEST_F(Procedures, AnIdentificationLeftUnansweredClosesThePortOnce) {
    talk.send(CMD_IDENTIFY);
    const unsigned sequence = talk.deadline_sequence.load();
    for (const bool acts : {true, false}) {
        EXPECT_EQ(procedures::identify_deadline(talk, sequence), acts);
        EXPECT_EQ(fake::fake_port().closed(), 1);
    }
}

// The modem's note names its entry first, then the remembered choice if the
// modem has its code, then the modem's own code: a key for AT+GCI, a code
// for AT*nc.
TEST_F(Procedures, ThePresentEntryIsFoundByNoteThenChoiceThenCode) {
    const struct {
        const char *i9, *choice, *i5;
        bool gci;
        const char* key; // "" for none
    } cases[] = {
        {"00", "", "B5", false, "00"},   {"", "3D", "B5", false, "B5"},
        {"", "US2", "B5", false, "US2"}, {"ZZ", "", "3d", true, "3D"},
        {"", "", "7E", false, "7E"},     {"ZZ", "", "77", false, ""},
    };
    for (const auto& c : cases) {
        profile::write_profile_string(profile::CHOICE_SECTION, profile::CHOICE_KEY, c.choice,
                                      profile::profile_path);
        modem_said(c.gci, c.i5, c.i9);
        profile::PresentEntry found;
        EXPECT_EQ(procedures::present_entry(talk, found), *c.key != '\0') << c.i5;
        EXPECT_STREQ(found.key, c.key) << c.i5;
    }
}

// An AT*nc modem is sent the entry's code, an AT+GCI modem its key; nothing
// that could end the command early, or be cut, is ever chosen, and only
// what is sent is checked.
TEST_F(Procedures, TheCodeToSendFollowsTheDialectAndIsAlwaysSafe) {
    const struct {
        bool gci;
        const char *key, *code, *sent; // sent: nullptr when refused
    } cases[] = {
        {false, "FD", "T9", "T9"},
        {true, "FD", "T9", "FD"},
        {false, "FD", "T9;D1", nullptr},
        {true, "F D", "T9", nullptr},
        {false, "ELEVENCHARS", "T9", "T9"},
        {false, "TWELVECHARSX", "T9", nullptr},
        {true, "2D", "", "2D"},
        {true, "2D", "c-y", "2D"},
        {false, "2D", "", nullptr},
    };
    for (const auto& c : cases) {
        talk.use_gci = c.gci ? 1 : 0;
        copy_text(talk.code_to_send, "before");
        EXPECT_EQ(procedures::choose_code(talk, c.key, c.code), c.sent != nullptr) << c.key;
        EXPECT_STREQ(talk.code_to_send, c.sent != nullptr ? c.sent : "before") << c.key;
    }
}

// The end of an apply: a usable key, the choice remembered (the dialog not
// for an AT+GCI modem), and the note rewritten only when it names another key.
TEST_F(Procedures, TheEndOfAnApplyRemembersTheChoiceAndRewritesTheNoteOnlyWhenNeeded) {
    using procedures::ApplyEnd;
    const struct {
        const char* key;
        bool gci;
        const Options& options;
        const char* i9;
        bool write_note;
        ApplyEnd end;
        const char* choice; // the remembered key afterwards
        Texts writes;
    } cases[] = {
        {"3D", false, DIALOG, "3D", true, ApplyEnd::done, "3D", {}},
        {"3D", false, DIALOG, "B5", true, ApplyEnd::writing_note, "3D", {"ATi9##\r"}},
        {"3D", false, COMMAND_LINE, "B5", false, ApplyEnd::done, "3D", {}},
        {"3D", false, DIALOG, "3D2", true, ApplyEnd::done, "3D", {}},
        {"3D", false, COMMAND_LINE, "3D2", true, ApplyEnd::writing_note, "3D", {"ATi9##\r"}},
        {"3D", true, DIALOG, "", true, ApplyEnd::done, "", {}},
        {"ELEVENCHARS", true, COMMAND_LINE, "", true, ApplyEnd::done, "ELEVENCHARS", {}},
        {"", false, DIALOG, "B5", true, ApplyEnd::abandoned, "", {}},
        {"TWELVECHARSX", false, COMMAND_LINE, "B5", true, ApplyEnd::abandoned, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + (c.gci ? " gci " : " nc ") + c.i9);
        dir.start(COUNTRIES);
        fake::fake_port().reset();
        modem_said(c.gci, "B5", c.i9);
        const procedures::Finish finish =
            procedures::finish_apply(talk, c.key, c.options, c.write_note);
        EXPECT_EQ(finish.end, c.end);
        EXPECT_EQ(finish.saved, c.end != ApplyEnd::abandoned);
        EXPECT_EQ(saved_choice(), c.choice);
        EXPECT_EQ(fake::fake_port().writes(), c.writes);
        if (c.end == ApplyEnd::writing_note) {
            EXPECT_STREQ(talk.i9_text, c.key); // what ATi9cc%s# carries next
        }
    }
}

} // namespace
