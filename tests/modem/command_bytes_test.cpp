#include "tests/modem/modem_test.h"

namespace {

struct CommandCase {
    const char* name;
    uint32_t word;
    int use_gci;
    const char* code_to_send;
    const char* i9_text;
    std::string bytes;
    unsigned deadline_ms;
};

// Test names show the case name, not the bytes of the case.
void PrintTo(const CommandCase& c, std::ostream* out) {
    *out << c.name;
}

class CommandBytes : public ModemTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandBytes, WritesExactlyItsBytesAfterArmingItsDeadline) {
    const CommandCase& c = GetParam();
    modem::use_gci = c.use_gci;
    copy_text(profile::code_to_send, c.code_to_send);
    copy_text(modem::i9_text, c.i9_text);
    bool armed_at_write = false;
    fake::fake_port().set_responder(
        [&](const std::string&) { armed_at_write = seam.armed_sequence() != 0; });

    send_modem_command(c.word);

    EXPECT_EQ(fake::fake_port().writes(), std::vector<std::string>{c.bytes});
    EXPECT_TRUE(armed_at_write);
    EXPECT_EQ(seam.armed_milliseconds(), c.deadline_ms);
    EXPECT_EQ(std::string(modem::command_text), c.bytes);
    EXPECT_EQ(modem::conversation_state.load(), c.word);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, CommandBytes,
    ::testing::Values(
        CommandCase{"SetCountryNc", CMD_SET_COUNTRY, 0, "B5", "", "AT*ncB5\r", 1500},
        CommandCase{"SetCountryGci", CMD_SET_COUNTRY, 1, "B5", "", "AT+GCI=B5\r", 1500},
        CommandCase{"SetLongestCode", CMD_SET_COUNTRY, 1, "12345678901", "", "AT+GCI=12345678901\r",
                    1500},
        CommandCase{"ReadI5", CMD_READ_I5, 0, "", "", "ATi5\r", 1000},
        CommandCase{"Reset", CMD_RESET, 0, "", "", "ATz\r", 1500},
        CommandCase{"ReadI9", CMD_READ_I9, 0, "", "", "ATi9\r", 1500},
        CommandCase{"WriteI9", CMD_WRITE_I9, 0, "", "DE", "ATi9ccDE#\r", 1000},
        CommandCase{"WriteEmptyI9", CMD_WRITE_I9, 0, "", "", "ATi9cc#\r", 1000},
        CommandCase{"ClearI9", CMD_CLEAR_I9, 0, "", "", "ATi9##\r", 1000},
        // A wake-up arms its own deadline, not its follow-up's.
        CommandCase{"WakeThenSet", wake_then(CMD_SET_COUNTRY), 0, "", "", "\rATV1\r", 2000},
        CommandCase{"Identify", CMD_IDENTIFY, 0, "", "", "ATV1i3\r", 3000},
        // The list commands keep their own dialect whatever use_gci says.
        CommandCase{"ListNcOnGciModem", CMD_LIST_NC, 1, "", "", "AT*nc?\r", 2500},
        CommandCase{"ListGciOnNcModem", CMD_LIST_GCI, 0, "", "", "AT+GCI=?\r", 2500}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModemTest, CodesOutsideTheTableAreStoredButNeitherArmedNorWritten) {
    for (uint32_t word : {0u, CMD_IDLE, 9u, 0x2508u, 0xFFu, 0x12345u}) {
        send_modem_command(word);
        EXPECT_EQ(modem::conversation_state.load(), word);
    }
    EXPECT_TRUE(fake::fake_port().writes().empty());
    EXPECT_TRUE(seam.deadline_calls().empty());
    EXPECT_EQ(traces.count("Modem cmd NOT sent, not supported\n"), 6);
}

TEST_F(ModemTest, ASecondCommandReplacesThePendingDeadline) {
    send_modem_command(CMD_READ_I5);
    unsigned first = seam.armed_sequence();
    send_modem_command(CMD_RESET);
    EXPECT_NE(seam.armed_sequence(), first);
    EXPECT_EQ(seam.armed_milliseconds(), 1500u);
    // The first deadline's expiry is stale now and does nothing.
    EXPECT_EQ(on_reply_timer(first), 0);
    EXPECT_EQ(fake::fake_port().closed(), 0);
    EXPECT_TRUE(seam.boxes().empty());
}

} // namespace
