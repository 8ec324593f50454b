#include "tests/modem/modem_test.h"

namespace {

enum class Expect { nothing, ok, error };

struct PiecesCase {
    const char* name;
    std::vector<std::string> pieces;
    Expect verdict; // after the last piece; never before it
};

// Test names show the case name, not the bytes of the case.
void PrintTo(const PiecesCase& c, std::ostream* out) {
    *out << c.name;
}

class Verdicts : public ModemTest, public ::testing::WithParamInterface<PiecesCase> {};

// ATi9## answers OK with NOTIFY_DISCONNECT 1 and ERROR with a box and 0, so
// the notice tells which verdict was reached.
TEST_P(Verdicts, AreReachedOnlyWhenTheirLastByteArrives) {
    const PiecesCase& c = GetParam();
    start(CMD_WRITE_I9);
    for (size_t i = 0; i + 1 < c.pieces.size(); ++i) {
        reply(c.pieces[i]);
        ASSERT_TRUE(seam.posts().empty()) << "after piece " << i;
        ASSERT_NE(seam.armed_sequence(), 0u);
    }
    reply(c.pieces.back());
    switch (c.verdict) {
    case Expect::nothing:
        EXPECT_EQ(notices(), "");
        EXPECT_NE(seam.armed_sequence(), 0u); // left to the deadline
        break;
    case Expect::ok:
        EXPECT_EQ(notices(), "101:1");
        EXPECT_EQ(traces.count("WAIT_OK timer killed, OK rxd\n"), 1);
        break;
    case Expect::error:
        EXPECT_EQ(notices(), "101:0");
        EXPECT_EQ(box_texts(), "Failure to clear/set the I9 string!");
        EXPECT_EQ(traces.count("WAIT_OK timer killed, ERROR rxd\n"), 1);
        break;
    }
    if (c.verdict != Expect::nothing) {
        EXPECT_EQ(seam.armed_sequence(), 0u);
        EXPECT_EQ(modem::reply_length, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Verdicts,
    ::testing::Values(PiecesCase{"OkAtOnce", {"\r\nOK\r\n"}, Expect::ok},
                      PiecesCase{"OkSplitAfterO", {"\r\nO", "K\r\n"}, Expect::ok},
                      PiecesCase{"OkByteByByte", {"\r", "\n", "O", "K", "\r", "\n"}, Expect::ok},
                      PiecesCase{"EchoThenOk", {"ATi9##\r", "\r\nOK", "\r\n"}, Expect::ok},
                      PiecesCase{"ErrorSplit", {"\r\nERR", "OR\r\n"}, Expect::error},
                      PiecesCase{"ErrorWithoutLineEnds", {"ERROR"}, Expect::error},
                      PiecesCase{"ErrorAfterOkWins", {"\r\nOK\r\nERROR\r\n"}, Expect::error},
                      PiecesCase{
                          "OkCompletedAlongWithError", {"\r\nOK", "\r\nERROR\r\n"}, Expect::error},
                      PiecesCase{"BareOk", {"OK"}, Expect::nothing},
                      PiecesCase{"OkWithoutLeadingLineEnd", {"OK\r\n"}, Expect::nothing},
                      PiecesCase{"OkWithoutTrailingLineEnd", {"\r\nOK"}, Expect::nothing},
                      PiecesCase{"OkWithLineFeedsOnly", {"\nOK\n"}, Expect::nothing},
                      PiecesCase{"LowerCaseError", {"error\r\n"}, Expect::nothing}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModemTest, ABlockOf3000BytesIsTakenAndOneOf3001Dropped) {
    start(CMD_WRITE_I9);
    std::string block(3001 - 6, 'x');
    reply(block + "\r\nOK\r\n");
    EXPECT_EQ(modem::reply_length, 0u);
    EXPECT_EQ(notices(), "");

    block.pop_back();
    reply(block + "\r\nOK\r\n");
    EXPECT_EQ(notices(), "101:1");
}

TEST_F(ModemTest, ABlockEndsAtItsSecondNulAndItsFirstBecomesASpace) {
    start(CMD_WRITE_I9);
    const char block[] = "ab\0cd\0\r\nOK\r\n";
    on_modem_data(block, sizeof block - 1);
    EXPECT_EQ(std::string(modem::reply_buffer), "ab cd");
    EXPECT_EQ(notices(), "");

    const char result[] = "\0\r\nOK\r\n";
    on_modem_data(result, sizeof result - 1);
    EXPECT_EQ(notices(), "101:1");
}

TEST_F(ModemTest, RunningOutOfRoomWarnsDisconnectsAndStartsAfresh) {
    start(CMD_WRITE_I9);
    reply(std::string(2990, 'x'));
    reply(std::string(11, 'y'));

    ASSERT_EQ(seam.boxes().size(), 1u);
    const fake::Box box = seam.boxes()[0];
    EXPECT_EQ(box.text, "Internal Storage Depletion, disconnecting from port");
    EXPECT_EQ(box.caption, "Modem Status");
    EXPECT_EQ(box.flags, DATA_BOX);
    EXPECT_TRUE(box.owned);
    EXPECT_EQ(notices(), "101:0");
    EXPECT_NE(seam.armed_sequence(), 0u); // the deadline keeps running
    // An emptied buffer takes the next reply instead of overflowing again.
    reply("\r\nOK\r\n");
    EXPECT_EQ(notices(), "101:0 101:1");
}

TEST_F(ModemTest, AReplyWithNoCommandOutstandingIsDiscarded) {
    reply("\r\nOK\r\n");
    reply("ERROR\r\n");
    EXPECT_EQ(traces.count("WAIT_OK timer kill failed, OK rxd\n"), 1);
    EXPECT_EQ(notices(), "");
    EXPECT_TRUE(seam.boxes().empty());
    EXPECT_EQ(modem::reply_length, 0u);
}

} // namespace
