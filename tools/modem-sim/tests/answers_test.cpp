#include "tools/modem-sim/reply_plan.h"

#include <gtest/gtest.h>

using namespace modem_sim;

// Each write as "<delay ms>:<bytes>", "|" between writes.
TEST(ReplyPlan, FaultsShapeWhatIsSentAndWhen) {
    const std::pair<const char*, std::string> cases[] = {
        {"x1", "0:ATi5\r|0:\r\nB5\r\n\r\nOK\r\n"},
        {"error", "0:ATi5\r|0:\r\nERROR\r\n"},
        {"nul:2", "0:ATi5\r|0:\r\nB" + std::string(2, '\0') + "5\r\n\r\nOK\r\n"},
        {"long:5", "0:ATi5\r|0:\r\nB5B5B\r\n\r\nOK\r\n"},
        {"garbage:2", "0:ATi5\r|0:\xFE\x7F\r\nB5\r\n\r\nOK\r\n"},
        {"hangup", "0:ATi5\r|0:\r\nB5\r\n|0:<hang up>"},
        {"delay:300 split:4", "0:ATi5\r|300:\r\nB5|20:\r\n\r\n|20:OK\r\n"},
        {"silent", ""},
        {"unplug", "0:<unplug>|0:ATi5\r|0:\r\nB5\r\n\r\nOK\r\n"},
        {"silent unplug", "0:<unplug>"}};
    for (const auto& [items, sent] : cases) {
        FaultSpec fault;
        std::string error, plan;
        ASSERT_TRUE(parse_fault(items, fault, error)) << items << ": " << error;
        for (const Step& step : build_plan("ATi5\r", Answer{"i5", {"B5"}, true}, true, &fault, 20))
            plan += (plan.empty() ? "" : "|") + std::to_string(step.delay_ms) + ":" + step.bytes +
                    (step.hangup ? "<hang up>" : "") + (step.unplug ? "<unplug>" : "");
        EXPECT_EQ(plan, sent) << items;
    }
    EXPECT_EQ(canned_plan(std::string(5375, 'Z')).size(), 1u) << "a canned reply is one write";
}

// Which occurrences of a command a fault bends, as a string of 0 and 1 for
// the first six.
TEST(ReplyPlan, SkipAndCountPickTheOccurrencesAFaultBends) {
    const std::pair<const char*, const char*> cases[] = {{"error", "111111"},
                                                         {"error x2", "110000"},
                                                         {"error skip:2", "001111"},
                                                         {"error skip:3 x1", "000100"},
                                                         {"silent x1 skip:1", "010000"}};
    for (const auto& [items, bent] : cases) {
        FaultSpec fault;
        std::string error, got;
        ASSERT_TRUE(parse_fault(items, fault, error)) << items << ": " << error;
        for (int index = 0; index < 6; ++index)
            got += fault.applies_to(index) ? '1' : '0';
        EXPECT_EQ(got, bent) << items;
    }
}
