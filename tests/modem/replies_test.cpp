// How replies are gathered, judged and read.
#include "tests/modem/modem_test.h"

namespace {

// ATi9## answers OK with NOTIFY_DISCONNECT 1 and ERROR with a box and 0, so
// the notice tells which verdict was reached.
TEST_F(ModemTest, AVerdictIsReachedOnlyWhenItsLastByteArrives) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"\r", "\n", "O", "K", "\r", "\n"}, "OK"},
        {{"ATi9##\r", "\r\nOK", "\r\n"}, "OK"},
        {{"\r\nERR", "OR\r\n"}, "ERROR"},
        {{"ERROR"}, "ERROR"},
        {{"\r\nOK\r\nERROR\r\n"}, "ERROR"},
        {{"\r\nOK", "\r\nERROR\r\n"}, "ERROR"},
        // Only the new block and the code's length before it are searched, so
        // a code whose last byte comes alone after a long start is found too.
        {{"xx\r\nOK\r", "\n"}, "OK"},
        {{"xxxxxxxx\r\nOK\r", "\n"}, "OK"},
        {{"xxERRO", "R"}, "ERROR"},
        {{"xxxxxxxxERRO", "R\r\n"}, "ERROR"},
        {{"xx\r", "\nOK\r\n"}, "OK"},
        // A block ends at its second NUL; its first is a blank.
        {{std::string("ab\0cd\0\r\nOK\r\n", 12), std::string("\0\r\nOK\r\n", 7)}, "OK"},
        // No verdict: left to the deadline.
        {{"OK\r\n"}, ""},
        {{"\r\nOK"}, ""},
        {{"\nOK\n"}, ""},
        {{"error\r\n"}, ""},
    };
    for (const auto& [pieces, verdict] : cases) {
        SCOPED_TRACE(pieces.front() + "...");
        talk.reset();
        start(CMD_WRITE_I9);
        for (const std::string& piece : pieces) {
            ASSERT_EQ(notices(), "");
            reply(piece);
        }
        EXPECT_EQ(notices(), verdict.empty() ? "" : verdict == "OK" ? "101:1" : "101:0");
        EXPECT_EQ(seam.armed_sequence() == 0, !verdict.empty());
        EXPECT_EQ(talk.reply_length == 0, !verdict.empty());
    }
}

TEST_F(ModemTest, AReplyIsGatheredOnlyWhileItFits) {
    start(CMD_WRITE_I9);
    std::string block(3001 - 6, 'x');
    reply(block + "\r\nOK\r\n"); // too long to be a reply: dropped without a word
    EXPECT_EQ(talk.reply_length, 0u);
    reply(std::string(2990, 'x'));
    reply(std::string(11, 'y')); // no room left: warns, disconnects and starts afresh
    EXPECT_EQ(box_texts(), "Internal Storage Depletion, disconnecting from port");
    EXPECT_TRUE(seam.boxes().at(0).owned);
    EXPECT_NE(seam.armed_sequence(), 0u); // the deadline keeps running
    block.pop_back();
    reply(block + "\r\nOK\r\n"); // 3000 bytes fit the emptied buffer
    EXPECT_EQ(notices(), "101:0 101:1");
}

// Every answer is read from its line, with or without the modem's echo, cut
// to its field and announced to the dialog.
TEST_F(ModemTest, AnAnswerIsReadIntoItsFieldAndAnnounced) {
    const std::string huge(2900, '7');
    // Cut after its last whole entry, never inside a code: also at exactly
    // the field's size, which leaves no room for its zero.
    std::string list;
    while (list.size() < 1024) {
        list += "B5,";
    }
    const std::string ident = "101:" + std::to_string(reinterpret_cast<intptr_t>(talk.modem_ident));
    char *const i5 = talk.i5_code, *const i9 = talk.i9_text;
    char *const list_reply = talk.country_list_reply, *const id = talk.modem_ident;
    const struct {
        uint32_t command;
        std::string answer;
        const char* field;
        std::string kept;
        std::string notice;
    } cases[] = {
        {CMD_READ_I5, "ATi5\r\r\nB5\r\n", i5, "B5", "104:1"},
        {CMD_READ_I5, "\r\nB5\r\n", i5, "B5", "104:1"},
        {CMD_READ_I5, "ATi5\r\r\nB5", i5, "B5", "104:1"},
        {CMD_READ_I5, "\r\n" + huge, i5, huge.substr(0, 11), "104:1"},
        // The note this program keeps starts with "CC"; any other is none.
        {CMD_READ_I9, "ATi9\r\r\nCCABC\r\n", i9, "ABC", "101:1"},
        {CMD_READ_I9, "ATi9\r\r\nccabc\r\n", i9, "", "101:1"},
        {CMD_READ_I9, "\r\nCC" + huge, i9, huge.substr(0, 11), "101:1"},
        {CMD_LIST_GCI, "AT+GCI=?\r\r\n+GCI: (00,09,B5)\r\n", list_reply, "00,09,B5)", "95:1"},
        {CMD_LIST_GCI, "\r\n00,09\r\n", list_reply, "00,09", "95:1"},
        {CMD_LIST_NC, "AT*nc?\r\r\n(00,09,B5)\r\n", list_reply, "(00,09,B5)", "37:1"},
        {CMD_LIST_NC, "\r\n" + list.substr(0, 1024), list_reply, list.substr(0, 1022), "37:1"},
        // A modem is ours when it names the vendor or the chip family, in any
        // ASCII case; the Latin-1 a-umlaut does not fold.
        {CMD_IDENTIFY, "ATV1i3\r\r\na modem by velm\xC4RA\r\n", talk.modem_ident,
         "a modem by velm\xC4RA", ident},
        {CMD_IDENTIFY, "\r\nGeneric acf3_v1 rev 2\r\n", id, "Generic acf3_v1 rev 2", ident},
        {CMD_IDENTIFY, "\r\nVELM\xE4RA\r\n", id, "", "101:0"},
        {CMD_IDENTIFY, "\r\nACF3_V1" + huge, id, "ACF3_V1" + huge.substr(0, 120), ident},
    };
    copy_text(talk.vendor_name, "Velm\xC4ra");
    for (const auto& c : cases) {
        copy_text(talk.i9_text, "stale");
        talk.modem_ident[0] = '\0';
        talk.use_gci = -1;
        start(c.command);
        reply(c.answer + "\r\nOK\r\n");
        EXPECT_EQ(std::string(c.field), c.kept) << c.answer.substr(0, 40);
        EXPECT_EQ(notices(), c.notice);
        // A list's dialect is the modem's from now on.
        EXPECT_EQ(talk.use_gci, c.notice == "95:1" ? 1 : c.notice == "37:1" ? 0 : -1);
    }
}

} // namespace
