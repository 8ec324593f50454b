#include "tests/modem/modem_test.h"

#include "serial/port_session.h"
#include "tests/support/ui_thread.h"

#include <atomic>
#include <thread>

namespace {

std::atomic<bool> handing_over{false}; // so the expiry can start just as the verdict does
void racing_callback(void* context, const char* block, uint32_t length) {
    handing_over = true;
    fake::ui_thread().notify();
    modem::Conversation::receive(context, block, length);
}

// The receive thread delivers the final OK while the dialog's thread handles
// the command's last expiry: exactly one of them acts, every time, also when
// the verdict has already sent the next command.
TEST_F(ModemTest, AVerdictAndAnExpiryOfTheSameCommandActExactlyOnce) {
    for (uint32_t word : {CMD_READ_I9, wake_then(CMD_READ_I5), wake_then(CMD_IDENTIFY)}) {
        for (int round = 0; round < 300; ++round) {
            fake::fake_port().reset();
            talk.reset();
            talk.retry_count = command_code(word) == CMD_WAKE ? 1 : 0; // retry used
            seam.forget();
            handing_over = false;
            ASSERT_TRUE(!port_create(slot, 0, racing_callback, &talk) && !port_open(slot));
            talk.send_modem_command(word);
            const unsigned sequence = seam.armed_sequence();

            fake::fake_port().deliver("\r\nOK\r\n");
            if (round % 3 == 1) {
                fake::ui_thread().wait_until([] { return handing_over.load(); }, fake::SAFETY);
            } else if (round % 3 == 2) {
                fake::fake_port().wait_delivered(); // the verdict first: the expiry is stale
            }
            const int next_port = talk.on_reply_timer(sequence);
            fake::fake_port().wait_delivered();
            port_close(slot);

            // An acting verdict writes the follow-up or posts; an acting
            // expiry shows the time-out box or moves the scan on.
            const size_t actions = fake::fake_port().writes().size() - 1 + seam.posts().size() +
                                   seam.boxes().size() + static_cast<size_t>(next_port);
            ASSERT_EQ(actions, 1u) << word << " round " << round;
        }
    }
}

// A late OK to the first wake-up comes in while the dialog's thread, retrying
// the wake-up, has taken the retry's deadline but not yet reached the timer:
// the verdict claims it and chains the next command from the receive thread.
// The timer must still end up on the chained command, so that its silence
// ends in the time-out box rather than a conversation that never ends.
TEST_F(ModemTest, ALateAnswerDuringTheRetryLeavesTheTimerOnTheChainedCommand) {
    ASSERT_TRUE(!port_create(slot, 0, modem::Conversation::receive, &talk) && !port_open(slot));
    talk.send_modem_command(wake_then(CMD_READ_I5));
    const unsigned first = seam.armed_sequence();
    seam.before_next_arm([] {
        fake::fake_port().deliver("\r\nOK\r\n");
        fake::fake_port().wait_delivered();
    });
    EXPECT_EQ(talk.on_reply_timer(first), 0); // the retry
    ASSERT_EQ(fake::fake_port().writes(),
              std::vector<std::string>({"\rATV1\r", "ATi5\r", "\rATV1\r"}));

    EXPECT_EQ(seam.armed_sequence(), talk.deadline_sequence.load());
    EXPECT_EQ(talk.on_reply_timer(seam.armed_sequence()), 0);
    EXPECT_EQ(box_texts(), "Modem dialog timeout occurred!");
    EXPECT_EQ(talk.conversation_state.load(), uint32_t{CMD_IDLE});
    // An arm request that comes only after a newer command started its
    // deadline leaves that one running.
    std::thread([this] { talk.arm_reply_deadline(1000); }).join();
    talk.send_modem_command(CMD_READ_I5);
    EXPECT_EQ(seam.armed_sequence(), talk.deadline_sequence.load());
}

// The receive thread sits in a warning box owned by the dialog while the
// dialog's thread closes the port on the deadline's expiry: the close keeps
// handling the box's sent messages, so both come through.
TEST_F(ModemTest, ClosingWhileTheReceiveThreadShowsABoxDoesNotDeadlock) {
    seam.hold_boxes(true);
    ASSERT_TRUE(!port_create(slot, 0, modem::Conversation::receive, &talk) && !port_open(slot));
    talk.send_modem_command(CMD_READ_I5);
    const unsigned sequence = seam.armed_sequence();

    fake::fake_port().deliver(std::string(2990, 'x'));
    fake::fake_port().deliver(std::string(20, 'y')); // runs out of room: a box
    ASSERT_TRUE(fake::ui_thread().wait_for_sent());  // the box waits on this thread

    std::thread user([&] { // closes the box once it is up, and lets later ones pass
        seam.wait_for_boxes(1);
        seam.hold_boxes(false);
    });
    EXPECT_EQ(talk.on_reply_timer(sequence), 0);
    user.join();

    EXPECT_FALSE(fake::fake_port().receiving());
    EXPECT_EQ(box_texts(), std::string("Internal Storage Depletion, disconnecting from port|") +
                               "Modem dialog timeout occurred!");
    EXPECT_EQ(notices(), "101:0");
}

} // namespace
