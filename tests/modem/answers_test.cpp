#include "tests/modem/modem_test.h"

namespace {

const std::string OK = "\r\nOK\r\n";

TEST_F(ModemTest, PresentCodeIsTheSameWithAndWithoutEcho) {
    for (const std::string& answer :
         {"ATi5\r\r\nB5\r\n" + OK, "\r\nB5\r\n" + OK, "ATi5\r\r\nB5" + OK}) {
        start(CMD_READ_I5);
        reply(answer);
        EXPECT_STREQ(modem::i5_code, "B5") << answer;
        EXPECT_EQ(notice(seam.posts().back()), "104:1");
    }
}

TEST_F(ModemTest, ANoteIsOursOnlyWhenItStartsWithCapitalCC) {
    const std::pair<std::string, std::string> cases[] = {
        {"CCABC", "ABC"}, {"ccabc", ""}, {"ABC", ""}, {"CC", ""}, {"", ""}};
    for (const auto& [note, kept] : cases) {
        copy_text(modem::i9_text, "stale");
        start(CMD_READ_I9);
        reply("ATi9\r\r\n" + note + "\r\n" + OK);
        EXPECT_EQ(std::string(modem::i9_text), kept) << note;
        EXPECT_EQ(notices(), "101:1");
    }
}

struct IdentCase {
    const char* vendor;
    std::string answer;
    bool accepted;
};

TEST_F(ModemTest, IdentificationNamesTheVendorOrTheChipFamilyInAnyAsciiCase) {
    const IdentCase cases[] = {
        {"Velmora", "VELMORA V.92 Data Modem", true},
        {"Velmora", "a velMORA modem", true},
        {"Velmora", "Generic acf3_v1 rev 2", true},
        {"Velmora", "Other Modem Inc.", false},
        {"Velmora", "Velmor", false},
        {"", "anything at all", true},
        // Only ASCII letters fold: the Latin-1 small a-umlaut stays itself.
        {"\xC4x", "\xE4X modem", false},
    };
    for (const IdentCase& c : cases) {
        copy_text(modem::vendor_name, c.vendor);
        std::memset(modem::modem_ident, 0, sizeof modem::modem_ident);
        start(CMD_IDENTIFY);
        reply("ATV1i3\r\r\n" + c.answer + "\r\n" + OK);
        ASSERT_EQ(seam.posts().size(), 1u);
        intptr_t lparam = seam.posts()[0].lparam;
        if (c.accepted) {
            EXPECT_EQ(lparam, reinterpret_cast<intptr_t>(modem::modem_ident)) << c.answer;
            EXPECT_EQ(std::string(modem::modem_ident), c.answer);
        } else {
            EXPECT_EQ(lparam, 0) << c.answer;
        }
    }
}

struct ListCase {
    uint32_t command;
    std::string line;
    const char* list;
    int use_gci;
};

TEST_F(ModemTest, SupportedListsAreReadInBothDialects) {
    const ListCase cases[] = {
        {CMD_LIST_GCI, "+GCI: (00,09,B5)", "00,09,B5)", 1},
        {CMD_LIST_GCI, "00,09", "00,09", 1},
        {CMD_LIST_NC, "(00,09,B5)", "(00,09,B5)", 0},
        {CMD_LIST_NC, "00,09,B5)", "00,09,B5)", 0},
    };
    for (const ListCase& c : cases) {
        modem::use_gci = 1 - c.use_gci;
        start(c.command);
        reply(std::string(modem::command_text) + "\r\n" + c.line + "\r\n" + OK);
        EXPECT_STREQ(modem::country_list_reply, c.list);
        EXPECT_EQ(modem::use_gci, c.use_gci);
        EXPECT_EQ(notices(), std::to_string(c.command) + ":1");
    }
}

TEST_F(ModemTest, AnNcRefusalFallsBackToGciWithoutTellingTheDialog) {
    modem::use_gci = 0;
    start(CMD_LIST_NC);
    reply("AT*nc?\r\r\nERROR\r\n");
    EXPECT_EQ(new_writes(), std::vector<std::string>{"AT+GCI=?\r"});
    EXPECT_EQ(traces.count("Country Code *nc? fails, try +gci=?\n"), 1);
    EXPECT_EQ(notices(), "");

    reply("AT+GCI=?\r\r\n+GCI: (3D)\r\n" + OK);
    EXPECT_EQ(notices(), "95:1");
    EXPECT_STREQ(modem::country_list_reply, "3D)");

    // Refused in both dialects: the dialog hears 95 with 0, use_gci untouched.
    start(CMD_LIST_NC);
    reply("ERROR\r\n");
    reply("ERROR\r\n");
    EXPECT_EQ(notices(), "95:0");
    EXPECT_EQ(modem::use_gci, 1);
    EXPECT_TRUE(seam.boxes().empty());
}

struct ErrorCase {
    uint32_t command;
    const char* box; // empty: none
};

TEST_F(ModemTest, AnErrorEndsTheConversationWithItsOwnBox) {
    const ErrorCase cases[] = {
        {CMD_SET_COUNTRY, "Failure to set the Country Code!"},
        {CMD_READ_I5, "Failure to get the Country Code!"},
        {CMD_RESET, "Failure to reset the modem!"},
        {CMD_READ_I9, ""},
        {CMD_WRITE_I9, "Failure to clear/set the I9 string!"},
        {CMD_CLEAR_I9, "Failure to clear/set the I9 string!"},
        {CMD_IDENTIFY, "Bad internal state! - 35"},
    };
    for (const ErrorCase& c : cases) {
        copy_text(modem::i5_code, "B5");
        copy_text(modem::i9_text, "DE");
        start(c.command);
        reply("ERROR\r\n");
        EXPECT_EQ(box_texts(), c.box) << c.command;
        for (const fake::Box& box : seam.boxes()) {
            EXPECT_EQ(box.caption, "Modem Status");
            EXPECT_EQ(box.flags, DATA_BOX);
        }
        EXPECT_EQ(notices(), "101:0");
        EXPECT_TRUE(new_writes().empty());
        // No stale value survives a failed read.
        EXPECT_STREQ(modem::i5_code, c.command == CMD_READ_I5 ? "" : "B5");
        EXPECT_STREQ(modem::i9_text, c.command == CMD_READ_I9 ? "" : "DE");
    }
}

struct ChainCase {
    uint32_t word;
    const char* next; // the command written on OK
};

TEST_F(ModemTest, AnOkChainsTheNextCommand) {
    copy_text(modem::i9_text, "DE");
    const ChainCase cases[] = {
        {CMD_SET_COUNTRY, "ATz\r"},
        {CMD_RESET, "ATi5\r"},
        {CMD_CLEAR_I9, "ATi9ccDE#\r"},
        {wake_then(CMD_LIST_NC), "AT*nc?\r"},
        {wake_then(CMD_IDENTIFY), "ATV1i3\r"},
    };
    for (const ChainCase& c : cases) {
        modem::retry_count = 1;
        start(c.word);
        reply("\r\nOK\r\n");
        EXPECT_EQ(new_writes(), std::vector<std::string>{c.next});
        EXPECT_EQ(follow_up_code(modem::conversation_state), 0u);
        EXPECT_EQ(modem::retry_count.load(), 0);
        EXPECT_EQ(notices(), "");
    }
}

TEST_F(ModemTest, LongAnswersAreCutToTheirFields) {
    const std::string huge(2900, '7');
    start(CMD_READ_I5);
    reply("\r\n" + huge + OK);
    EXPECT_EQ(std::string(modem::i5_code), huge.substr(0, 11));

    start(CMD_READ_I9);
    reply("\r\nCC" + huge + OK);
    EXPECT_EQ(std::string(modem::i9_text), huge.substr(0, 11));

    start(CMD_IDENTIFY);
    reply("\r\nACF3_V1" + huge + OK);
    EXPECT_EQ(std::strlen(modem::modem_ident), 127u);

    // A list is cut after its last whole entry, never inside a code.
    std::string list;
    while (list.size() < 2000) {
        list += "B5,";
    }
    start(CMD_LIST_NC);
    reply("\r\n" + list + OK);
    std::string kept = modem::country_list_reply;
    EXPECT_LE(kept.size(), 1023u);
    EXPECT_GT(kept.size(), 1000u);
    EXPECT_EQ(kept.substr(kept.size() - 2), "B5");
}

TEST_F(ModemTest, GarbageNeverOverrunsAField) {
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    const uint32_t commands[] = {CMD_READ_I5,  CMD_READ_I9,  CMD_IDENTIFY, CMD_LIST_NC,
                                 CMD_LIST_GCI, CMD_WRITE_I9, CMD_RESET};
    for (int round = 0; round < 300; ++round) {
        start(commands[round % 7]);
        std::string block(next() % 3000, '\0');
        for (char& c : block) {
            c = static_cast<char>(next() % 7 == 0 ? "\r\n\0(,OK"[next() % 7] : next() & 0xFF);
        }
        reply(block);
        reply("\r\nOK\r\n");
        EXPECT_LT(std::strlen(modem::i5_code), sizeof modem::i5_code);
        EXPECT_LT(std::strlen(modem::i9_text), sizeof modem::i9_text);
        EXPECT_LT(std::strlen(modem::modem_ident), sizeof modem::modem_ident);
        EXPECT_LT(std::strlen(modem::country_list_reply), sizeof modem::country_list_reply);
        EXPECT_LE(modem::reply_length, modem::REPLY_LIMIT);
    }
}

} // namespace
