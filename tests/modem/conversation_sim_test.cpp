// Whole conversations with a simulated modem on a pseudo-terminal, through
// the real posix port session: each chain runs from its wake-up to the
// notification that hands control back to the dialog.
#include "dialog/messages.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "modem/reply_interpreter.h"
#include "modem/sender.h"
#include "profile/profile_values.h"
#include "serial/port_session.h"
#include "tests/serial/sim_modem.h"
#include "tests/support/fake_seam.h"

#include "common/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Conversation : public ::testing::Test {
  protected:
    void SetUp() override {
        modem::reset_conversation_values();
        copy_text(modem::vendor_name, "Velmora");
    }
    void TearDown() override { port_release(); }

    // Opens the simulated modem's port, as the dialog does before a conversation.
    void open(SimModem& sim) {
        ASSERT_TRUE(sim.ready());
        sim.point_ports_here();
        port_number = 3;
        ASSERT_EQ(port_create(0, on_modem_data), 1);
        ASSERT_EQ(port_open(), 1);
    }
    // Sends `word` and waits for the notification that ends its chain.
    std::string run(uint32_t word) {
        size_t before = seam.posts().size();
        send_modem_command(word);
        if (!seam.wait_for_posts(before + 1, std::chrono::seconds(10))) {
            return "no notification";
        }
        fake::Post post = seam.posts()[before];
        return std::to_string(post.wparam) + ":" + std::to_string(post.lparam);
    }

    fake::FakeSeam seam;
};

TEST_F(Conversation, ReadsAnNcModemsListCodeAndNote) {
    SimModem sim("dialect = nc\ncountry = 09\nnote = CCB5\nsupported = 00,09,B5)\n");
    open(sim);
    EXPECT_EQ(run(wake_then(CMD_LIST_NC)), "37:1");
    EXPECT_STREQ(modem::country_list_reply, "00,09,B5)");
    EXPECT_EQ(modem::use_gci, 0);
    EXPECT_EQ(run(wake_then(CMD_READ_I5)), "104:1");
    EXPECT_STREQ(modem::i5_code, "09");
    EXPECT_EQ(run(CMD_READ_I9), "101:1");
    EXPECT_STREQ(modem::i9_text, "B5");
    EXPECT_TRUE(seam.boxes().empty());
}

TEST_F(Conversation, FallsBackToGciWhenNcIsRefused) {
    SimModem sim("dialect = gci\necho = 0\nsupported = +GCI: (00,09,B5)\n");
    open(sim);
    EXPECT_EQ(run(wake_then(CMD_LIST_NC)), "95:1");
    EXPECT_STREQ(modem::country_list_reply, "00,09,B5)");
    EXPECT_EQ(modem::use_gci, 1);
}

TEST_F(Conversation, AppliesACountryAndKeepsItsKeyInTheNote) {
    SimModem sim("dialect = nc\ncountry = 00\nsupported = 00,09,B5)\n");
    open(sim);
    copy_text(profile::code_to_send, "B5");
    EXPECT_EQ(run(wake_then(CMD_SET_COUNTRY)), "104:1"); // set, reset, read back
    EXPECT_STREQ(modem::i5_code, "B5");

    copy_text(modem::i9_text, "UK");
    EXPECT_EQ(run(CMD_CLEAR_I9), "101:1"); // cleared, then written
    modem::i9_text[0] = '\0';
    EXPECT_EQ(run(CMD_READ_I9), "101:1");
    EXPECT_STREQ(modem::i9_text, "UK");
}

// Replies that come late, in pieces, behind noise or after a refused wake-up
// still give the same answer.
TEST_F(Conversation, ReadsThePresentCodeThroughLineTrouble) {
    for (const char* fault : {"fault.i5 = split:2", "fault.i5 = delay:200 garbage:5",
                              "fault.v1 = error x1", "fault.i5 = split:1 garbage"}) {
        SimModem sim(std::string("country = B5\n") + fault + "\n");
        open(sim);
        seam.forget();
        EXPECT_EQ(run(wake_then(CMD_READ_I5)), "104:1") << fault;
        EXPECT_STREQ(modem::i5_code, "B5") << fault;
        port_close();
    }
}

} // namespace
