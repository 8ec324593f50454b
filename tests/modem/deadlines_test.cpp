#include "tests/modem/modem_test.h"

#include "serial/port_session.h"
#include "tests/support/ui_thread.h"

#include <atomic>
#include <thread>

namespace {

const char* const REFUSED = "The modem refused the wake-up command!";
const char* const TIMEOUT = "Modem dialog timeout occurred!";

struct WakeCase {
    const char* name;
    uint32_t word;
    std::string events; // E: ERROR reply, T: expiry, O: OK reply
    std::vector<std::string> writes;
    std::string boxes;
    std::string notices;
    std::vector<int> timer_results; // of each T
    int closes;
};

// Test names show the case name, not the bytes of the case.
void PrintTo(const WakeCase& c, std::ostream* out) {
    *out << c.name;
}

class WakeRetries : public ModemTest, public ::testing::WithParamInterface<WakeCase> {};

TEST_P(WakeRetries, GetOneRetryWhicheverWayTheyFail) {
    const WakeCase& c = GetParam();
    start(c.word);
    std::vector<int> results;
    for (char event : c.events) {
        if (event == 'T') {
            results.push_back(expire());
        } else {
            reply(event == 'E' ? "\r\nERROR\r\n" : "\r\nOK\r\n");
        }
    }
    EXPECT_EQ(new_writes(), c.writes);
    EXPECT_EQ(box_texts(), c.boxes);
    EXPECT_EQ(notices(), c.notices);
    EXPECT_EQ(results, c.timer_results);
    EXPECT_EQ(fake::fake_port().closed(), c.closes);
}

const uint32_t READ = wake_then(CMD_READ_I5);
const uint32_t SCAN = wake_then(CMD_IDENTIFY);

INSTANTIATE_TEST_SUITE_P(
    Sequences, WakeRetries,
    ::testing::Values(WakeCase{"ErrorError", READ, "EE", {"\rATV1\r"}, REFUSED, "101:0", {}, 0},
                      WakeCase{"ErrorTimeout", READ, "ET", {"\rATV1\r"}, TIMEOUT, "", {0}, 1},
                      WakeCase{"TimeoutError", READ, "TE", {"\rATV1\r"}, REFUSED, "101:0", {0}, 0},
                      WakeCase{"TimeoutOk", READ, "TO", {"\rATV1\r", "ATi5\r"}, "", "", {0}, 0},
                      WakeCase{"ScanSilentPort", SCAN, "TT", {"\rATV1\r"}, "", "", {0, 1}, 1},
                      // The scan's modem woke up but never identified itself.
                      WakeCase{
                          "ScanIdentifySilent", SCAN, "OT", {"ATV1i3\r"}, TIMEOUT, "", {0}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModemTest, AnExpiredCommandEndsTheConversationWithTheTimeoutBox) {
    start(CMD_READ_I5);
    EXPECT_EQ(expire(), 0);
    EXPECT_EQ(fake::fake_port().closed(), 1);
    EXPECT_EQ(modem::conversation_state.load(), CMD_IDLE);
    EXPECT_EQ(modem::retry_count.load(), 0);
    ASSERT_EQ(seam.boxes().size(), 1u);
    EXPECT_EQ(seam.boxes()[0].text, TIMEOUT);
    EXPECT_EQ(seam.boxes()[0].caption, "Modem Status");
    EXPECT_EQ(seam.boxes()[0].flags, BOX_ICONWARNING);
    EXPECT_EQ(seam.armed_sequence(), 0u);

    // A second expiry of the same deadline, and a late reply, both do nothing.
    EXPECT_EQ(on_reply_timer(seam.deadline_calls().back().sequence), 0);
    reply("\r\nERROR\r\n");
    EXPECT_EQ(seam.boxes().size(), 1u);
    EXPECT_EQ(notices(), "");
}

// The receive thread delivers the final OK while the dialog's thread handles
// the expiry of the same command: exactly one of them acts, every time. The
// expiry is the last one a command gets, so acting means giving up.
struct RaceCase {
    const char* name;
    uint32_t word;
    int retries_used;
};

// Test names show the case name, not the bytes of the case.
void PrintTo(const RaceCase& c, std::ostream* out) {
    *out << c.name;
}

class VerdictAgainstExpiry : public ModemTest, public ::testing::WithParamInterface<RaceCase> {};

// Lets the dialog's thread start its expiry just as the verdict's block is
// handed over, so both really run at once.
std::atomic<bool> handing_over{false};
void racing_callback(const char* block, uint32_t length) {
    handing_over = true;
    fake::ui_thread().notify();
    on_modem_data(block, length);
}

TEST_P(VerdictAgainstExpiry, ActsExactlyOnce) {
    int expiries = 0;
    const int rounds = 300;
    for (int round = 0; round < rounds; ++round) {
        fake::fake_port().reset();
        modem::reset_conversation_values();
        modem::retry_count = GetParam().retries_used;
        seam.forget();
        handing_over = false;
        ASSERT_EQ(port_create(0, racing_callback), 1);
        ASSERT_EQ(port_open(), 1);
        send_modem_command(GetParam().word);
        unsigned sequence = seam.armed_sequence();

        fake::fake_port().deliver("\r\nOK\r\n");
        if (round % 2 == 1) {
            fake::ui_thread().wait_until([] { return handing_over.load(); }, fake::SAFETY);
        }
        int next_port = on_reply_timer(sequence);
        fake::fake_port().wait_delivered();
        bool expiry_acted = fake::fake_port().closed() > 0;
        port_close();

        // An acting verdict writes the follow-up or posts; an acting expiry
        // shows the time-out box or moves the scan on.
        size_t actions = fake::fake_port().writes().size() - 1 + seam.posts().size() +
                         seam.boxes().size() + static_cast<size_t>(next_port);
        ASSERT_EQ(actions, 1u) << "round " << round;
        expiries += expiry_acted ? 1 : 0;
    }
    RecordProperty("expiries", expiries);
    RecordProperty("verdicts", rounds - expiries);
}

INSTANTIATE_TEST_SUITE_P(Commands, VerdictAgainstExpiry,
                         ::testing::Values(RaceCase{"ReadNote", CMD_READ_I9, 0},
                                           RaceCase{"WakeUpRetried", wake_then(CMD_READ_I5), 1},
                                           RaceCase{"ScanWakeUpRetried", wake_then(CMD_IDENTIFY),
                                                    1}),
                         [](const auto& info) { return std::string(info.param.name); });

// The receive thread sits in a warning box owned by the dialog while the
// dialog's thread closes the port on the deadline's expiry: the close keeps
// handling the box's sent messages, so both come through.
TEST_F(ModemTest, ClosingWhileTheReceiveThreadShowsABoxDoesNotDeadlock) {
    seam.hold_boxes(true);
    ASSERT_EQ(port_create(0, on_modem_data), 1);
    ASSERT_EQ(port_open(), 1);
    send_modem_command(CMD_READ_I5);
    unsigned sequence = seam.armed_sequence();

    fake::fake_port().deliver(std::string(2990, 'x'));
    fake::fake_port().deliver(std::string(20, 'y')); // runs out of room: a box
    ASSERT_TRUE(fake::ui_thread().wait_for_sent());  // the box waits on this thread

    std::thread user([&] {
        // The user closes the box once it is up, and lets later ones pass.
        seam.wait_for_boxes(1);
        seam.hold_boxes(false);
    });
    EXPECT_EQ(on_reply_timer(sequence), 0);
    user.join();

    EXPECT_FALSE(fake::fake_port().receiving());
    EXPECT_EQ(box_texts(),
              std::string("Internal Storage Depletion, disconnecting from port|") + TIMEOUT);
    EXPECT_EQ(notices(), "101:0");
}

} // namespace
