// The command line's portable parts that decide without a modem: which
// country a user means, and what the arguments say.
#include "cli/country_choice.h"
#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cli;

namespace {

const std::vector<ProfileEntry> entries = {
    {"00", "Japan", "jp", "00"},
    {"B5", "United States", "us", "B5"},
    {"US2", "United States (2)", "us", "B5"},
    {"K4", "United Kingdom", "gb", "B4"},
    {"80", "Niger", "ne", "80"},
    {"81", "Nigeria", "ng", "81"},
};

std::vector<std::string> keys(const CountryMatch& match) {
    std::vector<std::string> found;
    for (const ProfileEntry& entry : match.found) {
        found.push_back(entry.key);
    }
    return found;
}

} // namespace

TEST(CountryChoice, PictureCodeThenWholeNameThenTheStartOfOneName) {
    struct Case {
        const char* text;
        std::vector<std::string> keys;
    } cases[] = {
        {"GB", {"K4"}},
        {"gb", {"K4"}},
        {"united kingdom", {"K4"}},
        {"Unit", {"B5", "US2", "K4"}}, // ambiguous: listed in profile order
        {"us", {"B5", "US2"}},         // a picture two entries share
        {"united states", {"B5"}},     // a whole name, though another contains it
        {"niger", {"80"}},             // a whole name before the start of "Nigeria"
        {"nig", {"80", "81"}},
        {"ja", {"00"}}, // no such picture: the start of a name
        {"atlantis", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keys(match_country(entries, c.text)), c.keys) << c.text;
    }
    EXPECT_EQ(keys(match_key(entries, "us2")), std::vector<std::string>{"US2"});
    EXPECT_TRUE(match_key(entries, "B4").found.empty()) << "a code is not a key";
}

TEST(Options, CommandsTheirArgumentsAndOptionsAnywhere) {
    struct Case {
        std::vector<std::string> words;
        bool valid;
    } cases[] = {
        {{"scan", "--port", "/dev/a", "--port=/dev/b"}, true},
        {{"--json", "set", "gb", "--force"}, true},
        {{"set", "--key", "B4", "--port", "/dev/a"}, true},
        {{"reapply", "--profile", "/tmp/p.ini", "--verbose"}, true},
        {{"countries"}, true},
        {{"show", "--probe-all"}, true},
        {{"--help"}, true},
        {{"--version"}, true},
        {{"reapply", "--wait", "3600"}, true},
        {{"set", "--", "-x"}, true}, // after "--" a word is a country
        {{}, false},
        {{"frobnicate"}, false},
        {{"set"}, false},
        {{"set", "gb", "--key", "B4"}, false},
        {{"set", "gb", "fr"}, false},
        {{"show", "--force"}, false},
        {{"show", "--port", "/dev/a", "--port", "/dev/b"}, false},
        {{"countries", "--port", "/dev/a"}, false},
        {{"scan", "--port"}, false},
        {{"scan", "--bogus"}, false},
        {{"reapply", "--wait", "3601"}, false},
        {{"show", "--wait", "5"}, false},
    };
    for (const Case& c : cases) {
        Options options;
        std::string error;
        EXPECT_EQ(parse_options(c.words, options, error), c.valid)
            << (c.words.empty() ? "" : c.words[0]) << ": " << error;
    }
    Options options;
    std::string error;
    ASSERT_TRUE(parse_options({"--port=/dev/x", "set", "United Kingdom"}, options, error));
    EXPECT_EQ(options.country, "United Kingdom");
    EXPECT_EQ(options.ports, std::vector<std::string>{"/dev/x"});
}
