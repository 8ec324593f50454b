#include "modem/dialect.h"

#include <gtest/gtest.h>

#include <string>

using modem::gci_dialect;

namespace {

// A modem's answer and what is made of it.
struct AnswerCase {
    const char* answer;
    const char* expected;
};

// A key list as the profile's reader builds it: each key ended by a zero
// byte, one more after the last. "Bogus0" and "0x20" are no numbers; "0B5"
// is 0xB5 written long; a key of twelve characters is too long to be used.
std::string key_list() {
    const char* keys[] = {"09",   "B5",  "Bogus0", "20",          "2f",
                          "0x20", "0B5", "100",    "FFFFFFFFFFF", "100000000000"};
    std::string list;
    for (const char* key : keys) {
        list.append(key).push_back('\0');
    }
    return list + '\0';
}

} // namespace

TEST(GciRanges, ARangeListsTheProfileKeysWithinItInKeyOrder) {
    const AnswerCase cases[] = {
        {"00-FF)", "09,B5,20,2f,0B5)"},
        {"00,09,20-2F)", "00,09,20,2f)"}, // single codes stay, known or not
        {"20-2F,09)", "20,2f,09)"},
        {"b5-B5)", "B5,0B5)"},                         // hex letters in any case
        {"100-FFFFFFFFFFFFFFFF)", "100,FFFFFFFFFFF)"}, // wider than a byte, to 64 bits
        {"B5,00-FF)", "B5,09,20,2f,0B5)"},             // a key already listed is not listed twice
        {" 20 - 2F , 09 )", " 09 )"}, // blanks belong to items: such a range is malformed
        {"00-FF", ")"},               // a last item without its ")" is none
        {"09,B5)trailing,20", "09,B5)trailing,)"}, // a ")" ends only the last item
        {"09,,B5)", "09)"},                        // two commas end the list
        {"", ")"},
    };
    std::string keys = key_list();
    for (const AnswerCase& c : cases) {
        EXPECT_EQ(gci_dialect().expand_ranges(c.answer, keys.c_str()), c.expected) << c.answer;
    }
}

TEST(GciRanges, AMalformedRangeListsNothingRatherThanAnUnknownCountry) {
    std::string keys = key_list();
    for (const char* answer :
         {"30-20)", "20-)", "-20)", "2G-30)", "20-30-40)", "-)", "00-10000000000000000)"}) {
        EXPECT_EQ(gci_dialect().expand_ranges(answer, keys.c_str()), ")") << answer;
    }
}

TEST(GciPresentCode, TheCodeOfAPresentCountryAnswerOrNothing) {
    const AnswerCase cases[] = {
        {"+GCI: B5", "B5"},
        {"+gci:14\r\n", "14"},
        {"  +GCI:  00  \r\n", "00"},
        {"+GCI:B5 extra", "B5"},
        {"+GCI:(00-FF)", ""},
        {"+GCI: 00,09", ""},
        {"+GCI:", ""},
        {"", ""},
        {"+GCX:B5", ""},
    };
    for (const AnswerCase& c : cases) {
        EXPECT_EQ(gci_dialect().present_code(c.answer), c.expected) << c.answer;
    }
}
