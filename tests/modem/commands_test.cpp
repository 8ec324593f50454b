// What each command writes, and what follows its reply or its deadline.
#include "tests/modem/modem_test.h"

#include "serial/port_session.h"

namespace {

TEST_F(ModemTest, EachCommandWritesExactlyItsBytesAfterArmingItsDeadline) {
    const struct {
        uint32_t word;
        int use_gci;
        const char* fill; // code_to_send, or i9_text for the note
        std::string bytes;
        unsigned deadline_ms;
    } cases[] = {
        {CMD_SET_COUNTRY, 0, "B5", "AT*ncB5\r", 1500},
        {CMD_SET_COUNTRY, 1, "12345678901", "AT+GCI=12345678901\r", 1500},
        {CMD_READ_I5, 0, "", "ATi5\r", 1000},
        {CMD_RESET, 0, "", "ATz\r", 1500},
        {CMD_READ_I9, 0, "", "ATi9\r", 1500},
        {CMD_WRITE_I9, 0, "DE", "ATi9ccDE#\r", 1000},
        {CMD_CLEAR_I9, 0, "", "ATi9##\r", 1000},
        // A wake-up arms its own deadline, not its follow-up's.
        {wake_then(CMD_SET_COUNTRY), 0, "", "\rATV1\r", 2000},
        {CMD_IDENTIFY, 0, "", "ATV1i3\r", 3000},
        // The list commands keep their own dialect whatever use_gci says.
        {CMD_LIST_NC, 1, "", "AT*nc?\r", 2500},
        {CMD_LIST_GCI, 0, "", "AT+GCI=?\r", 2500},
    };
    // The dialog's thread cannot handle its queued messages while it is
    // inside the write, so a deadline that only asks for the timer would
    // not yet run during a write that stalls.
    unsigned running_at_write = 0;
    unsigned pending_at_write = 0;
    fake::fake_port().set_responder([&](const std::string&) {
        running_at_write = seam.timer_sequence();
        pending_at_write = talk.deadline_sequence.load();
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        talk.speak(c.use_gci != 0 ? modem::gci_dialect() : modem::nc_dialect());
        copy_text(talk.code_to_send, c.fill);
        copy_text(talk.i9_text, c.fill);
        talk.send_modem_command(c.word);
        EXPECT_EQ(fake::fake_port().writes().back(), c.bytes);
        EXPECT_EQ(running_at_write, pending_at_write); // this command's, before the write
        EXPECT_EQ(running_at_write, seam.armed_sequence());
        EXPECT_EQ(seam.armed_milliseconds(), c.deadline_ms);
        EXPECT_EQ(talk.conversation_state.load(), c.word);
    }
}

const char* const REFUSED = "The modem refused the wake-up command!";
const char* const TIMEOUT = "Modem dialog timeout occurred!";
const uint32_t READ = wake_then(CMD_READ_I5);
const uint32_t SCAN = wake_then(CMD_IDENTIFY);

// What each command does next on ERROR (E), OK (O) and the expiry of its
// deadline (T): the commands it writes, the boxes it shows, what it tells the
// dialog, what each expiry gives back and how often the port is closed.
TEST_F(ModemTest, EachOutcomeLeadsToItsNextStep) {
    const struct {
        uint32_t word;
        std::string events;
        std::vector<std::string> writes;
        std::string boxes;
        std::string notices;
        std::string expiries;
        int closes;
    } cases[] = {
        {CMD_SET_COUNTRY, "E", {}, "Failure to set the Country Code!", "101:0", "", 0},
        {CMD_READ_I5, "E", {}, "Failure to get the Country Code!", "101:0", "", 0},
        {CMD_RESET, "E", {}, "Failure to reset the modem!", "101:0", "", 0},
        {CMD_READ_I9, "E", {}, "", "101:0", "", 0},
        {CMD_WRITE_I9, "E", {}, "Failure to clear/set the I9 string!", "101:0", "", 0},
        {CMD_CLEAR_I9, "E", {}, "Failure to clear/set the I9 string!", "101:0", "", 0},
        {CMD_IDENTIFY, "E", {}, "Bad internal state! - 35", "101:0", "", 0},
        {CMD_SET_COUNTRY, "O", {"ATz\r"}, "", "", "", 0},
        {CMD_RESET, "O", {"ATi5\r"}, "", "", "", 0},
        {CMD_CLEAR_I9, "O", {"ATi9ccDE#\r"}, "", "", "", 0},
        {wake_then(CMD_LIST_NC), "O", {"AT*nc?\r"}, "", "", "", 0},
        {CMD_LIST_NC, "EO", {"AT+GCI=?\r"}, "", "95:1", "", 0},
        {CMD_LIST_NC, "EE", {"AT+GCI=?\r"}, "", "95:0", "", 0},
        // Once expired, a command ignores its deadline's second firing and late replies.
        {CMD_READ_I5, "TTE", {}, TIMEOUT, "", "00", 1},
        {CMD_WRITE_I9, "OT", {}, "", "101:1", "0", 0},
        // A wake-up gets one retry, whichever way it fails.
        {READ, "EE", {"\rATV1\r"}, REFUSED, "101:0", "", 0},
        {READ, "ET", {"\rATV1\r"}, TIMEOUT, "", "0", 1},
        {READ, "TE", {"\rATV1\r"}, REFUSED, "101:0", "0", 0},
        {READ, "TO", {"\rATV1\r", "ATi5\r"}, "", "", "0", 0},
        // A silent port moves the scan on without a word.
        {SCAN, "TT", {"\rATV1\r"}, "", "", "01", 1},
        {SCAN, "OT", {"ATV1i3\r"}, TIMEOUT, "", "0", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.word) + " " + c.events);
        fake::fake_port().reset();
        talk.reset();
        copy_text(talk.i5_code, "B5");
        copy_text(talk.i9_text, "DE");
        start(c.word);
        std::string expiries;
        for (char event : c.events) {
            if (event == 'T') {
                expiries += std::to_string(expire());
            } else {
                reply(event == 'E' ? "\r\nERROR\r\n" : "\r\nOK\r\n");
                EXPECT_TRUE(event == 'E' || talk.retry_count == 0); // an OK restores the retry
            }
        }
        EXPECT_EQ(new_writes(), c.writes);
        EXPECT_EQ(box_texts(), c.boxes);
        EXPECT_EQ(notices(), c.notices);
        EXPECT_EQ(expiries, c.expiries);
        EXPECT_EQ(fake::fake_port().closed(), c.closes);
        for (const fake::Box& box : seam.boxes()) {
            EXPECT_EQ(box.caption, "Modem Status");
            EXPECT_EQ(box.flags, BOX_ICONWARNING | (box.text == TIMEOUT ? 0 : BOX_SETFOREGROUND));
        }
        // No stale value survives a failed read.
        EXPECT_STREQ(talk.i5_code, c.word == CMD_READ_I5 && c.events == "E" ? "" : "B5");
        EXPECT_STREQ(talk.i9_text, c.word == CMD_READ_I9 && c.events == "E" ? "" : "DE");
    }
}

} // namespace

// A quick modem answers the wake-up before its write returns, and the receive
// thread chains the follow-up meanwhile: the write under way keeps its bytes.
TEST_F(ModemTest, AnAnswerDuringTheWriteLeavesTheBytesBeingWritten) {
    ASSERT_TRUE(!port_create(slot, 0, modem::Conversation::receive, &talk) && !port_open(slot));
    fake::fake_port().set_responder([](const std::string& written) {
        if (written == "\rATV1\r") {
            fake::fake_port().deliver("\r\nOK\r\n");
            fake::fake_port().wait_delivered();
        }
    });
    talk.send_modem_command(wake_then(CMD_READ_I5));
    EXPECT_EQ(fake::fake_port().writes(), (std::vector<std::string>{"\rATV1\r", "ATi5\r"}));
}
