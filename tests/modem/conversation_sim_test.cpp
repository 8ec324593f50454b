// Whole conversations with a simulated modem on a pseudo-terminal, through
// the real posix port session, where answers race the writes that ask them.
#include "common/text.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "modem/reply_interpreter.h"
#include "modem/sender.h"
#include "profile/profile_values.h"
#include "serial/port_session.h"
#include "tests/serial/sim_modem.h"
#include "tests/support/fake_seam.h"

#include <gtest/gtest.h>

// Answers that come late, in pieces, behind noise or after a refused wake-up
// still give the same result; and an AT+GCI modem gets its country in its
// own dialect once its list was read.
TEST(Conversation, AppliesACountryThroughLineTrouble) {
    for (const char* fault :
         {"fault.i5 = split:2", "fault.i5 = delay:200 garbage:5", "fault.v1 = error x1"}) {
        SCOPED_TRACE(fault);
        SimModem sim(std::string("dialect = gci\ncountry = 00\n") + fault + "\n");
        fake::FakeSeam seam;
        // Sends `word` and gives the notification that ends its chain.
        auto run = [&](uint32_t word) -> std::string {
            const size_t before = seam.posts().size();
            send_modem_command(word);
            if (!seam.wait_for_posts(before + 1, std::chrono::seconds(10))) {
                return "no notification";
            }
            const fake::Post post = seam.posts()[before];
            return std::to_string(post.wparam) + ":" + std::to_string(post.lparam);
        };
        modem::reset_conversation_values();
        port_number = 3;
        ASSERT_TRUE(sim.ready() &&
                    port_create(0, modem::Conversation::receive, &modem::dialog_conversation()) ==
                        1 &&
                    port_open() == 1);
        EXPECT_EQ(run(wake_then(CMD_LIST_NC)), "95:1");
        copy_text(modem::code_to_send, "B5");
        EXPECT_EQ(run(wake_then(CMD_SET_COUNTRY)), "104:1"); // set, reset, read back
        EXPECT_STREQ(modem::i5_code, "B5");
        port_release();
    }
}
