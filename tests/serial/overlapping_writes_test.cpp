// Both threads write to the port: the dialog's thread sends a command, and the
// receive thread chains the next one as soon as the modem answers, which can
// be while the first write is still going out.
#include "serial/port_session.h"
#include "tests/serial/stalling_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

namespace {

const char* const WAKE_UP = "\rATV1\r";
const char* const NEXT = "AT*nc?\r";
std::atomic<int> chained_write{-1};

void chain_on_ok(void* slot, const char* block, uint32_t) {
    if (std::strstr(block, "OK") != nullptr) {
        chained_write = port_write(*static_cast<PortSlot*>(slot), NEXT, std::strlen(NEXT)) ? 0 : 1;
    }
}

TEST(OverlappingWrites, AnAnswerDuringTheWakeUpsWriteSendsTheNextCommandAfterIt) {
    stalling::reset("\r\nOK\r\n");
    PortSlot slot;
    ASSERT_FALSE(port_create(slot, 0, chain_on_ok, &slot));
    ASSERT_FALSE(port_open(slot));
    // A modem set to &D2 ignores commands, or hangs up, while DTR is low.
    EXPECT_TRUE(stalling::dtr_on()) << "DTR is raised once the port is open";
    EXPECT_FALSE(port_write(slot, WAKE_UP, static_cast<uint32_t>(std::strlen(WAKE_UP))));

    const std::string whole = std::string(WAKE_UP) + NEXT;
    EXPECT_EQ(stalling::wait_received(whole.size(), std::chrono::seconds(5)), whole);
    port_close(slot);
    port_release(slot);
    EXPECT_EQ(chained_write.load(), 1);
    EXPECT_FALSE(stalling::read_past_queue());
}

} // namespace
