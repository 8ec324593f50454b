#include "tools/modem-sim/at_engine.h"
#include "tools/modem-sim/reply_plan.h"

#include <gtest/gtest.h>

using namespace modem_sim;

namespace {

Config scenario(const std::string& text) {
    Config config;
    std::string error;
    EXPECT_TRUE(parse_config_text(text, config, error)) << error;
    finish_config(config);
    return config;
}

struct Exchange {
    const char* line;
    const char* name;
    const char* reply;
};

void expect_exchanges(const Config& config, const std::vector<Exchange>& exchanges) {
    ModemState state = initial_state(config);
    for (const Exchange& e : exchanges) {
        Answer answer = run_command_line(e.line, config, state);
        EXPECT_EQ(answer.name, e.name) << e.line;
        EXPECT_EQ(format_answer(answer, state.verbose), e.reply) << e.line;
    }
}

} // namespace

TEST(AtEngine, NcDialectSetsAndReadsTheCountry) {
    expect_exchanges(scenario("dialect = nc\nident = Acme ACF3_V1\ncountry = 09\n"),
                     {
                         {"ATV1", "v1", "\r\nOK\r\n"},
                         {"ATV1i3", "i3", "\r\nAcme ACF3_V1\r\n\r\nOK\r\n"},
                         {"AT*nc?", "nclist", "\r\n00,09,B5)\r\n\r\nOK\r\n"},
                         {"ATi5", "i5", "\r\n09\r\n\r\nOK\r\n"},
                         {"at*ncb5", "ncset", "\r\nOK\r\n"},
                         {"ATi5", "i5", "\r\nB5\r\n\r\nOK\r\n"},
                         {"AT*ncC7", "ncset", "\r\nERROR\r\n"},
                         {"AT*nc", "ncset", "\r\nERROR\r\n"},
                         {"AT+GCI=?", "gcilist", "\r\nERROR\r\n"},
                         {"AT+GCI=00", "gciset", "\r\nERROR\r\n"},
                         {"ATi5", "i5", "\r\nB5\r\n\r\nOK\r\n"},
                     });
}

TEST(AtEngine, GciDialectSetsAndReadsTheCountry) {
    expect_exchanges(scenario("dialect = gci\n"),
                     {
                         {"AT*nc?", "nclist", "\r\nERROR\r\n"},
                         {"AT+GCI=?", "gcilist", "\r\n+GCI: (00,09,B5)\r\n\r\nOK\r\n"},
                         {"AT+GCI=B5", "gciset", "\r\nOK\r\n"},
                         {"AT+GCI?", "gciread", "\r\n+GCI: B5\r\n\r\nOK\r\n"},
                         {"AT+GCI=FF", "gciset", "\r\nERROR\r\n"},
                         {"AT*ncB5", "ncset", "\r\nERROR\r\n"},
                         {"ATi5", "i5", "\r\nB5\r\n\r\nOK\r\n"},
                     });
}

TEST(AtEngine, NoteRoundTripAndReset) {
    expect_exchanges(scenario("note_max = 8\nverbose = 0\n"),
                     {
                         {"ATi9", "i9", "0\r"},
                         {"ATV1", "v1", "\r\nOK\r\n"},
                         {"ATi9ccB5#", "i9set", "\r\nOK\r\n"},
                         {"ATi9", "i9", "\r\nCCB5\r\n\r\nOK\r\n"},
                         {"ATi9ccTOOLONG#", "i9set", "\r\nERROR\r\n"},
                         {"ATi9ccB5", "i9set", "\r\nERROR\r\n"},
                         {"ATz", "z", "0\r"}, // back to the scenario's numeric results
                         {"ATV1i9", "i9", "\r\nCCB5\r\n\r\nOK\r\n"},
                         {"ATi9##", "i9clear", "\r\nOK\r\n"},
                         {"ATi9", "i9", "\r\nOK\r\n"},
                         {"ATi9cc#", "i9set", "\r\nOK\r\n"},
                         {"ATi9", "i9", "\r\nCC\r\n\r\nOK\r\n"},
                     });
}

TEST(AtEngine, UnknownAndMalformedLinesAreRefused) {
    expect_exchanges(scenario("info.0 = 14400\n"), {
                                                       {"AT", "at", "\r\nOK\r\n"},
                                                       {"ATI", "i0", "\r\n14400\r\n\r\nOK\r\n"},
                                                       {"ATI7", "i7", "\r\nERROR\r\n"},
                                                       {"ATX4", "x", "\r\nERROR\r\n"},
                                                       {"ATV2", "v2", "\r\nERROR\r\n"},
                                                       {"BURST", "burst", "\r\nERROR\r\n"},
                                                       {"", "", "\r\nERROR\r\n"},
                                                       {"AT*", "*", "\r\nERROR\r\n"},
                                                   });
}

TEST(AtEngine, ARefusedLineChangesNothing) {
    Config config = scenario("echo = 1\n");
    ModemState state = initial_state(config);
    Answer answer = run_command_line("ATE0*ncB5X", config, state);
    EXPECT_FALSE(answer.ok);
    EXPECT_TRUE(state.echo);
    EXPECT_EQ(state.country, "00");
}

TEST(SimConfig, BadScenariosAreRefusedWithTheLine) {
    for (const char* text :
         {"echo = 2", "dialect = hayes", "bogus = 1", "no equals sign", "fault.i5 = explode",
          "fault.i5 = delay:abc", "fault.i5 = x0", "ident = bad\\q"}) {
        Config config;
        std::string error;
        EXPECT_FALSE(parse_config_text(std::string("# comment\n") + text, config, error)) << text;
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    }
}

TEST(SimConfig, FaultItemsCombine) {
    Config config = scenario("FAULT.I5 = delay:300 split:2 nul garbage:3 long:40 x2\n");
    const FaultSpec& fault = config.faults.at("i5");
    EXPECT_EQ(fault.delay_ms, 300);
    EXPECT_EQ(fault.split, 2);
    EXPECT_EQ(fault.nul, 1);
    EXPECT_EQ(fault.garbage, 3);
    EXPECT_EQ(fault.long_length, 40);
    EXPECT_EQ(fault.limit, 2);
    EXPECT_FALSE(fault.error || fault.silent || fault.hangup);
}

TEST(SimConfig, CodesComeFromTheListAnswer) {
    EXPECT_EQ(codes_from_list("+GCI: (00, 09,B5)"), (std::vector<std::string>{"00", "09", "B5"}));
    EXPECT_EQ(codes_from_list("00,09,B5)"), (std::vector<std::string>{"00", "09", "B5"}));
    EXPECT_TRUE(codes_from_list("()").empty());
}
