// The probe, the read and the apply as both front ends run them, for either
// dialect and with the dialog's options or the command line's: one table
// per decision, on a conversation of the test's own over the fake port.
#include "procedures/procedures.h"

#include "common/text.h"
#include "modem/notifications.h"
#include "profile/profile_file.h"
#include "serial/port_session.h"
#include "tests/profile/profile_dir.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_seam.h"

#include <gtest/gtest.h>

#include <map>
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
        seam.conversation = &talk;
        dir.start(COUNTRIES);
    }
    ~Procedures() override { fake::fake_port().reset(); }

    void modem_said(bool gci, const char* i5, const char* i9) {
        talk.speak(gci ? modem::gci_dialect() : modem::nc_dialect());
        copy_text(talk.i5_code, i5);
        copy_text(talk.i9_text, i9);
    }
    std::string saved_choice() {
        char key[50];
        profile::get_profile_string(profile::CHOICE_SECTION, profile::CHOICE_KEY, key, sizeof key,
                                    dir.profile().profile_path);
        return key;
    }

    fake::FakeSeam seam;
    PortSlot slot;
    modem::Conversation talk{seam, slot.port_session};
    ProfileDir dir;
    profile::CountryList countries;
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
        countries.supported_count = 1;
        copy_text(countries.supported_entries[0], "kept");
        talk.speak(c.gci ? modem::gci_dialect() : modem::nc_dialect());
        copy_text(talk.country_list_reply, c.reply.c_str());
        // The dialog's working copy holds 499 characters, the command line's the whole reply.
        std::vector<char> copy(&c.options == &DIALOG ? 500 : modem::LIST_REPLY_SIZE);
        EXPECT_EQ(procedures::take_list(dir.profile(), talk, c.listed, c.options, copy.data(),
                                        copy.size(), countries),
                  c.answer);
        ASSERT_EQ(countries.supported_count, c.count);
        std::string items;
        for (int i = c.count > 4 ? c.count - 1 : 0; i < c.count; ++i) {
            items += (items.empty() ? "" : "|") + std::string(countries.supported_entries[i]);
        }
        EXPECT_EQ(items, c.items);
    }
}

// What a procedure answered, in short: the command it asks for ("~" for a
// wake-up first), "done", or why it failed.
std::string said(const procedures::Answer& answer) {
    using Kind = procedures::Answer::Kind;
    if (answer.kind != Kind::converse) {
        const std::map<::Kind, std::string> why = {{::Kind::reply_deadline, "no answer"},
                                                   {::Kind::modem_reply, "refused"},
                                                   {::Kind::not_standard, "not standard"},
                                                   {::Kind::read_back, "read back"},
                                                   {::Kind::key_unusable, "no key"}};
        return answer.kind == Kind::done ? "done" : why.at(answer.failure.kind);
    }
    const std::map<uint32_t, std::string> names = {{CMD_LIST_NC, "nc?"},   {CMD_LIST_GCI, "gci=?"},
                                                   {CMD_READ_I5, "i5"},    {CMD_READ_I9, "i9"},
                                                   {43, "gci?"},           {CMD_SET_COUNTRY, "set"},
                                                   {CMD_CLEAR_I9, "note"}, {CMD_IDENTIFY, "i3"}};
    const bool wake = command_code(answer.word) == CMD_WAKE;
    return (wake ? "~" : "") + names.at(wake ? follow_up_code(answer.word) : answer.word);
}

// What ended a conversation: a notification (id, value) with the state word
// then, or with id 0 the deadline giving up.
struct Ended {
    unsigned id;
    intptr_t value;
    uint32_t word;
};
procedures::Event event_of(const Ended& ended) {
    return {ended.id != 0, ended.id, ended.value, ended.word, false, {}};
}

// The order of the read's conversations, and where each front end stops:
// only the command line asks AT+GCI=? after a bare OK to AT*nc? (a device
// taken only as a standard modem is asked AT+GCI=? alone), and AT+GCI? of
// an AT+GCI modem that refuses ATi5.
TEST_F(Procedures, TheReadAsksTheListThenTheCodeThenTheNote) {
    const Ended LIST{CMD_LIST_NC, 1, CMD_LIST_NC}, GCI_LIST{CMD_LIST_GCI, 1, CMD_LIST_GCI},
        NO_LIST{CMD_LIST_GCI, 0, CMD_LIST_GCI}, I5{NOTIFY_I5_READ, 1, CMD_READ_I5},
        I5_REFUSED{NOTIFY_DISCONNECT, 0, CMD_READ_I5}, I9{NOTIFY_DISCONNECT, 0, CMD_READ_I9},
        GCI_CODE{43, 1, 43}, SILENT{0, 0, CMD_READ_I5};
    const struct {
        const Options& options;
        bool gci, standard_only;
        const char* list;
        std::vector<Ended> ended;
        std::string answers;
    } cases[] = {
        {DIALOG, false, false, "00,B5)", {LIST, I5, I9}, "~nc? ~i5 i9 done"},
        {COMMAND_LINE, false, false, "00,B5)", {LIST, I5, I9}, "~nc? ~i5 i9 done"},
        {COMMAND_LINE, false, false, "()", {LIST, I5, I9}, "~nc? ~i5 i9 done"}, // no country
        {DIALOG, false, false, "", {LIST, I5}, "~nc? ~i5 i9"},
        {COMMAND_LINE, true, false, "", {LIST, GCI_LIST, I5}, "~nc? ~gci=? ~i5 i9"},
        {COMMAND_LINE, true, true, "00,B5)", {NO_LIST}, "~gci=? not standard"}, // no AT*nc? asked
        {DIALOG, false, false, "", {NO_LIST, I5}, "~nc? ~i5 i9"},
        {COMMAND_LINE,
         true,
         false,
         "B5)",
         {GCI_LIST, I5_REFUSED, GCI_CODE, I9},
         "~nc? ~i5 ~gci? i9 done"},
        {DIALOG, true, false, "B5)", {GCI_LIST, I5_REFUSED}, "~nc? ~i5 refused"},
        {COMMAND_LINE, false, false, "B5)", {LIST, I5_REFUSED}, "~nc? ~i5 refused"},
        {DIALOG, false, false, "B5)", {LIST, SILENT}, "~nc? ~i5 no answer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers + (&c.options == &DIALOG ? " dialog" : " command line"));
        talk.speak(c.gci ? modem::gci_dialect() : modem::nc_dialect());
        copy_text(talk.country_list_reply, c.list);
        talk.retry_count = 1;
        std::vector<char> copy(500);
        procedures::Read reading(c.options, dir.profile(), copy.data(), copy.size(), countries);
        std::string answers = said(reading.start(talk, c.standard_only));
        EXPECT_EQ(talk.retry_count.load(), 0);
        for (const Ended& ended : c.ended) {
            const std::string answer = said(reading.on_event(talk, event_of(ended)));
            EXPECT_EQ(reading.took_list(), answer == "~i5") << answer; // the list comes just before
            answers += " " + answer;
        }
        EXPECT_EQ(answers, c.answers);
    }
}

// A probe's verdict: a modem, a device that failed the test (taken as a
// standard modem only when any device is), or nothing there at all.
TEST_F(Procedures, AProbeTellsAModemFromARefusalAndFromSilence) {
    using procedures::Found;
    const struct {
        bool notified;
        uint32_t word;
        intptr_t accepted;
        bool silent_port, any_modem;
        Found found;
        const char* ident;
    } cases[] = {
        {true, CMD_IDENTIFY, 1, false, false, Found::modem, "Quorvant"},
        {true, CMD_IDENTIFY, 0, false, false, Found::rejected, "Other"},
        {true, CMD_IDENTIFY, 0, false, true, Found::standard, "Other"},
        {true, wake_then(CMD_IDENTIFY), 0, false, true, Found::rejected, ""},
        {false, CMD_IDENTIFY, 0, false, true, Found::rejected, ""},
        {false, wake_then(CMD_IDENTIFY), 0, true, false, Found::silent, ""},
    };
    for (const auto& c : cases) {
        procedures::Probe probing(c.any_modem);
        EXPECT_EQ(said(probing.start(talk)), "~i3");
        copy_text(talk.modem_ident, "Quorvant");
        copy_text(talk.answered_ident, "Other");
        EXPECT_EQ(
            said(probing.on_event(
                talk, {c.notified, NOTIFY_DISCONNECT, c.accepted, c.word, c.silent_port, {}})),
            "done");
        EXPECT_EQ(probing.found(), c.found) << c.word << " " << c.accepted;
        EXPECT_STREQ(probing.ident(talk), c.ident) << c.word << " " << c.accepted;
    }
}

// Silence at ATV1i3 closes the port, once: a second expiry of that deadline is stale.
TEST_F(Procedures, AnIdentificationLeftUnansweredClosesThePortOnce) {
    talk.send_modem_command(CMD_IDENTIFY);
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
                                      dir.profile().profile_path);
        modem_said(c.gci, c.i5, c.i9);
        profile::PresentEntry found;
        EXPECT_EQ(procedures::present_entry(dir.profile(), talk, found), *c.key != '\0') << c.i5;
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
        talk.speak(c.gci ? modem::gci_dialect() : modem::nc_dialect());
        copy_text(talk.code_to_send, "before");
        EXPECT_EQ(!procedures::choose_code(talk, c.key, c.code), c.sent != nullptr) << c.key;
        EXPECT_STREQ(talk.code_to_send, c.sent != nullptr ? c.sent : "before") << c.key;
    }
}

// The end of an apply: a usable key, the choice remembered (the dialog not
// for an AT+GCI modem), and the note rewritten only when it names another key.
TEST_F(Procedures, TheEndOfAnApplyRemembersTheChoiceAndRewritesTheNoteOnlyWhenNeeded) {
    const struct {
        const char* key;
        bool gci;
        const Options& options;
        const char* i9;
        bool write_note;
        const char* answer;
        const char* choice; // the remembered key afterwards
    } cases[] = {
        {"3D", false, DIALOG, "3D", true, "done", "3D"},
        {"3D", false, DIALOG, "B5", true, "note", "3D"},
        {"3D", false, COMMAND_LINE, "B5", false, "done", "3D"},
        {"3D", false, DIALOG, "3D2", true, "done", "3D"},
        {"3D", false, COMMAND_LINE, "3D2", true, "note", "3D"},
        {"3D", true, DIALOG, "", true, "done", ""},
        {"ELEVENCHARS", true, COMMAND_LINE, "", true, "done", "ELEVENCHARS"},
        {"", false, DIALOG, "B5", true, "no key", ""},
        {"TWELVECHARSX", false, COMMAND_LINE, "B5", true, "no key", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + (c.gci ? " gci " : " nc ") + c.i9);
        dir.start(COUNTRIES);
        modem_said(c.gci, "B5", c.i9);
        procedures::Apply applying(c.options, dir.profile());
        EXPECT_EQ(said(applying.start(talk, c.key, false, c.write_note)), c.answer);
        EXPECT_FALSE(applying.save_failure());
        EXPECT_EQ(saved_choice(), c.choice);
        if (std::string(c.answer) == "note") {
            EXPECT_STREQ(talk.i9_text, c.key); // what ATi9cc%s# carries next
            EXPECT_EQ(said(applying.on_event(
                          talk, {true, NOTIFY_DISCONNECT, 1, CMD_WRITE_I9, false, {}})),
                      "done");
        }
    }
}

// The set, then its read-back: only the command line holds the modem to the
// code it was sent, and asks an AT+GCI modem that refuses ATi5 with AT+GCI?.
TEST_F(Procedures, TheApplySetsThenReadsBackThenWritesTheNote) {
    const Ended I5{NOTIFY_I5_READ, 1, CMD_READ_I5}, I5_REFUSED{NOTIFY_DISCONNECT, 0, CMD_READ_I5},
        GCI_CODE{43, 1, 43}, SET_REFUSED{NOTIFY_DISCONNECT, 0, CMD_SET_COUNTRY},
        NOTE_REFUSED{NOTIFY_DISCONNECT, 0, CMD_CLEAR_I9};
    const struct {
        const Options& options;
        bool gci;
        const char* read_back; // "+GCI: ..." for the AT+GCI? answer
        std::vector<Ended> ended;
        std::string answers;
    } cases[] = {
        {DIALOG, false, "3D", {I5}, "~set note"},
        {COMMAND_LINE, false, "3D", {I5, NOTE_REFUSED}, "~set note refused"},
        {COMMAND_LINE, false, "B5", {I5}, "~set read back"},
        {DIALOG, false, "B5", {I5}, "~set note"},
        {COMMAND_LINE, true, "+GCI: 3D", {I5_REFUSED, GCI_CODE}, "~set ~gci? done"},
        {DIALOG, true, "", {I5_REFUSED}, "~set refused"},
        {DIALOG, false, "", {SET_REFUSED}, "~set refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers + (&c.options == &DIALOG ? " dialog" : " command line"));
        dir.start(COUNTRIES);
        modem_said(c.gci, c.read_back, "B5");
        copy_text(talk.front_end_answer, c.read_back);
        ASSERT_FALSE(procedures::choose_code(talk, "3D", "3D"));
        procedures::Apply applying(c.options, dir.profile());
        std::string answers = said(applying.start(talk, "3D"));
        for (const Ended& ended : c.ended) {
            answers += " " + said(applying.on_event(talk, event_of(ended)));
        }
        EXPECT_EQ(answers, c.answers);
    }
}

} // namespace
