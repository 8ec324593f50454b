#include "tools/modem-sim/at_engine.h"
#include "tools/modem-sim/reply_plan.h"

#include <array>
#include <gtest/gtest.h>

using namespace modem_sim;

namespace {

const std::string OK = "\r\nOK\r\n", ERR = "\r\nERROR\r\n";
auto info = [](const std::string& text) { return "\r\n" + text + "\r\n" + OK; };

// Each exchange: the command line, its name (the key of fault.* and reply.*), the reply.
void expect_exchanges(const std::string& scenario,
                      const std::vector<std::array<std::string, 3>>& exchanges) {
    Config config;
    std::string error;
    ASSERT_TRUE(parse_config_text(scenario, config, error)) << error;
    finish_config(config);
    ModemState state = initial_state(config);
    for (const auto& [line, name, reply] : exchanges) {
        Answer answer = run_command_line(line, config, state);
        EXPECT_EQ(answer.name, name) << line;
        EXPECT_EQ(format_answer(answer, state.verbose), reply) << line;
    }
}

} // namespace

TEST(AtEngine, EachDialectSetsTheCountryAndTheNoteIsKept) {
    expect_exchanges("ident = \\x20Acme\\tACF3\\x41{3}_V1\ncountry = 09\nnote_max = 8\n",
                     {{"ATV1i3", "i3", info(" Acme\tACF3AAA_V1")},
                      {"AT*nc?", "nclist", info("00,09,B5)")},
                      {"at*ncb5", "ncset", OK},
                      {"AT*ncC7", "ncset", ERR},
                      {"ATi9ccXY#i7", "i7", ERR}, // a refused line carries out none of it
                      {"ATi9", "i9", OK},
                      {"ATi9ccB5#", "i9set", OK},
                      {"ATi9ccTOOLONG#", "i9set", ERR},
                      {"ATz", "z", OK},
                      {"ATi5i9", "i9", "\r\nB5\r\n" + info("CCB5")},
                      {"ATi9##", "i9clear", OK},
                      {"ATi9", "i9", OK},
                      {"", "", ERR}});
    expect_exchanges("dialect = gci\nsupported = +GCI: (00, 09,B5)\n",
                     {{"AT*nc?", "nclist", ERR},
                      {"AT+GCI=?", "gcilist", info("+GCI: (00, 09,B5)")},
                      {"AT+GCI=09", "gciset", OK},
                      {"AT+GCI?", "gciread", info("+GCI: 09")}});
}

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
