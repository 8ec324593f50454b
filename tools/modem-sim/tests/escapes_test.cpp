#include "tools/modem-sim/escapes.h"

#include <gtest/gtest.h>

using modem_sim::escape_bytes;
using modem_sim::escape_value;
using modem_sim::unescape_value;

TEST(Escapes, ValuesDecode) {
    struct Case {
        const char* text;
        std::string bytes;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"\\rATV1\\r", "\rATV1\r"},
        {"a\\0b\\tc\\n", std::string("a\0b\tc\n", 6)},
        {"\\x41\\xfF", "A\xFF"},
        {"\\\\ \\{ \\}", "\\ { }"},
        {"\\x41{3}B", "AAAB"},
        {"-{1}", "-"},
        {"\\{{2}", "{{"},
    };
    for (const Case& c : cases) {
        std::string out, error;
        EXPECT_TRUE(unescape_value(c.text, out, error)) << c.text << ": " << error;
        EXPECT_EQ(out, c.bytes) << c.text;
    }
}

TEST(Escapes, LongBurstIsExact) {
    std::string out, error;
    ASSERT_TRUE(unescape_value("Z{5375}", out, error));
    EXPECT_EQ(out, std::string(5375, 'Z'));
}

TEST(Escapes, MalformedValuesAreRefused) {
    for (const char* text : {"end\\", "\\q", "\\x4", "\\xZZ", "{3}", "A{}", "A{0}", "A{x}", "A{3",
                             "A}", "A{2}{3}", "A{1000001}", "A{99999999999999999999}"}) {
        std::string out, error;
        EXPECT_FALSE(unescape_value(text, out, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(Escapes, LogFormShowsControlBytes) {
    EXPECT_EQ(escape_bytes("\rATV1\r"), "\\rATV1\\r");
    EXPECT_EQ(escape_bytes(std::string("a\0\n\"\\\x80", 6)), "a\\x00\\n\\x22\\x5C\\x80");
}

TEST(Escapes, StoredValuesReadBack) {
    for (const std::string& bytes :
         {std::string(" CC{B5} "), std::string("\r\n\\#=x\0y", 8), std::string()}) {
        std::string out, error;
        ASSERT_TRUE(unescape_value(escape_value(bytes), out, error)) << error;
        EXPECT_EQ(out, bytes);
    }
}
