#include "tools/modem-sim/reply_plan.h"

#include <gtest/gtest.h>

using namespace modem_sim;

namespace {

Answer info_answer(const std::string& line) {
    Answer answer;
    answer.ok = true;
    answer.lines.push_back(line);
    return answer;
}

std::string joined(const std::vector<Step>& steps) {
    std::string all;
    for (const Step& step : steps)
        all += step.bytes;
    return all;
}

} // namespace

TEST(ReplyPlan, FaultsShapeWhatIsSent) {
    struct Case {
        const char* name;
        FaultSpec fault;
        std::string sent; // after the echo "ATi5\r"
    };
    auto with = [](auto change) {
        FaultSpec fault;
        change(fault);
        return fault;
    };
    const Case cases[] = {
        {"none", FaultSpec{}, "\r\nB5\r\n\r\nOK\r\n"},
        {"error", with([](FaultSpec& f) { f.error = true; }), "\r\nERROR\r\n"},
        {"nul", with([](FaultSpec& f) { f.nul = 2; }),
         "\r\nB" + std::string(2, '\0') + "5\r\n\r\nOK\r\n"},
        {"long", with([](FaultSpec& f) { f.long_length = 5; }), "\r\nB5B5B\r\n\r\nOK\r\n"},
        {"garbage", with([](FaultSpec& f) { f.garbage = 2; }), "\xFE\x7F\r\nB5\r\n\r\nOK\r\n"},
        {"hangup", with([](FaultSpec& f) { f.hangup = true; }), "\r\nB5\r\n"},
    };
    for (const Case& c : cases) {
        std::vector<Step> steps = build_plan("ATi5\r", info_answer("B5"), true, &c.fault, 20);
        ASSERT_FALSE(steps.empty()) << c.name;
        EXPECT_EQ(steps.front().bytes, "ATi5\r") << c.name;
        EXPECT_EQ(joined(steps), "ATi5\r" + c.sent) << c.name;
        EXPECT_EQ(steps.back().hangup, c.fault.hangup) << c.name;
    }
}

TEST(ReplyPlan, SplitDelaysOnlyTheFirstPiece) {
    FaultSpec fault;
    fault.split = 4;
    fault.delay_ms = 300;
    std::vector<Step> steps = build_plan("", info_answer("B5"), true, &fault, 20);
    ASSERT_EQ(steps.size(), 3u); // 12 bytes in pieces of 4
    EXPECT_EQ(steps[0].delay_ms, 300);
    EXPECT_EQ(steps[1].delay_ms, 20);
    EXPECT_EQ(steps[2].bytes, "OK\r\n");
    EXPECT_EQ(joined(steps), "\r\nB5\r\n\r\nOK\r\n");
}

TEST(ReplyPlan, SilentSendsNothingAndCannedGoesInOneWrite) {
    FaultSpec silent;
    silent.silent = true;
    EXPECT_TRUE(build_plan("ATi5\r", info_answer("B5"), true, &silent, 20).empty());
    std::vector<Step> canned = canned_plan(std::string(5375, 'Z'));
    ASSERT_EQ(canned.size(), 1u);
    EXPECT_EQ(canned[0].bytes.size(), 5375u);
}
