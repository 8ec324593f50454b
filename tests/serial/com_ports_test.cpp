#include "serial/com_ports.h"

#include <gtest/gtest.h>

using namespace serial;

TEST(ComPortNames, TheNumberOfAPortOrNothingRatherThanAnotherPort) {
    struct Case {
        const char* name;
        int number;
    } cases[] = {
        {"COM3", 3},       {"com3", 3},   {"\\\\.\\COM12", 12}, {"COM255", 255}, {"CoM1", 1},
        {"COM256", 0},     {"COM259", 0}, {"COM4294967299", 0}, {"COM0", 0},     {"COM03", 0},
        {"COM", 0},        {"COM3x", 0},  {"COM-3", 0},         {" COM3", 0},    {"LPT1", 0},
        {"/dev/ttyS2", 0}, {"", 0},       {"\\\\.\\", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(com_port_number(c.name), c.number) << c.name;
    }
}

TEST(ComPortSearch, TheListedPortsAndTheFirstNineInOrderEachOnce) {
    struct Case {
        std::vector<std::string> listed;
        std::vector<int> searched;
    } cases[] = {
        {{}, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {{"COM12", "COM3", "COM12"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 12}},
        {{"COM255", "COM256", "LPT1", ""}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 255}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(com_ports_to_search(c.listed), c.searched);
    }
}
