// The posix port session against a simulated modem on a pseudo-terminal.
#include "serial/port_session.h"
#include "serial/posix_device.h"
#include "tests/serial/sim_modem.h"

#include "common/trace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const SCENARIO = "echo = 0\n"
                             "reply.nulburst = \\0{200}\n"
                             "reply.nuls = AB\\0C\\0D\n"
                             "reply.flood = Z{12000}\n"
                             "fault.i3 = hangup long:3000\n";

constexpr auto SAFETY = std::chrono::seconds(10); // only for a modem that never answers

// What the session handed out, from whichever thread: trace text and blocks.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::string trace;
    std::vector<std::string> blocks; // each with the byte that follows its data
    size_t bytes = 0;
    bool hold_callback = false; // the data callback returns only once the close began
    bool close_began = false;
};
Recorder* rec = nullptr;

void on_trace(const char* text) {
    std::lock_guard<std::mutex> lock(rec->mutex);
    rec->trace += text;
    rec->close_began = rec->close_began || std::strcmp(text, "halt thread ") == 0;
    rec->changed.notify_all();
}

void on_data(const char* block, uint32_t length) {
    std::unique_lock<std::mutex> lock(rec->mutex);
    rec->blocks.emplace_back(block, length + 1);
    rec->bytes += length;
    rec->changed.notify_all();
    if (rec->hold_callback) {
        rec->changed.wait_for(lock, SAFETY, [] { return rec->close_began; });
        rec->trace += "[callback returns]";
    }
}

class PortSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        rec = &recorder;
        set_trace_sink(on_trace);
        ASSERT_TRUE(sim.ready());
    }
    void TearDown() override {
        port_release();
        set_trace_sink(nullptr);
        rec = nullptr;
    }

    static bool open_port(int low_speed = 0) {
        return port_create(low_speed, on_data) == 1 && port_open() == 1;
    }
    static void send(const char* command) {
        port_write(command, static_cast<uint32_t>(std::strlen(command)));
    }
    bool wait_bytes(size_t count) {
        std::unique_lock<std::mutex> lock(recorder.mutex);
        return recorder.changed.wait_for(lock, SAFETY, [&] { return recorder.bytes >= count; });
    }
    std::string take_trace() {
        std::lock_guard<std::mutex> lock(recorder.mutex);
        std::string text;
        text.swap(recorder.trace);
        return text;
    }
    termios line_settings() {
        termios tio{};
        const int fd = open(link_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(tcgetattr(fd, &tio), 0);
        close(fd);
        return tio;
    }
    std::string link_path() { return sim.link(); }

    Recorder recorder;
    SimModem sim{SCENARIO};
};

TEST_F(PortSessionTest, OpenSetsTheLineAtEitherSpeed) {
    const struct {
        int low_speed;
        speed_t speed;
    } cases[] = {{0, B115200}, {1, B19200}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.low_speed);
        ASSERT_TRUE(open_port(c.low_speed));
        EXPECT_EQ(port_session->connected.load(), 1);
        EXPECT_NE(port_session->thread_id.load(), 0u);
        const termios tio = line_settings();
        EXPECT_EQ(cfgetispeed(&tio), c.speed);
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), CS8 | CRTSCTS);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_EQ(port_close(), 1);
        EXPECT_EQ(port_session->thread_id.load(), 0u);
    }
}

TEST_F(PortSessionTest, OnlyTheLowByteOfThePortNumberCounts) {
    static int asked = -1;
    set_port_path_lookup([](uint8_t port, char* path, size_t capacity) {
        asked = port;
        std::snprintf(path, capacity, "/nonexistent/port");
    });
    port_number = 259;
    EXPECT_EQ(port_create(0, on_data), 1);
    EXPECT_EQ(port_open(), 0);
    EXPECT_EQ(asked, 3);
}

TEST_F(PortSessionTest, ABurstIsGatheredInChunksAndHandedOverOnce) {
    ASSERT_TRUE(open_port());
    send("NULBURST\r");
    ASSERT_TRUE(wait_bytes(200));
    port_close();
    ASSERT_EQ(recorder.blocks.size(), 1u);
    // Every NUL arrived, and only the first of each read turned into a blank:
    // so the reads took 80, 80 and 40 bytes.
    std::string expected(201, '\0');
    expected[0] = expected[80] = expected[160] = ' ';
    EXPECT_EQ(recorder.blocks[0], expected);
}

TEST_F(PortSessionTest, OnlyTheFirstNulOfAReadBecomesABlank) {
    ASSERT_TRUE(open_port());
    send("NULS\r");
    ASSERT_TRUE(wait_bytes(6));
    port_close();
    ASSERT_EQ(recorder.blocks.size(), 1u);
    EXPECT_EQ(recorder.blocks[0], std::string("AB C\0D\0", 7));
}

TEST_F(PortSessionTest, AFloodIsHandedOverInFullBlocksNeverPastThem) {
    ASSERT_TRUE(open_port());
    send("FLOOD\r");
    ASSERT_TRUE(wait_bytes(12000));
    port_close();
    bool any_full = false;
    for (const std::string& block : recorder.blocks) {
        ASSERT_LE(block.size(), RX_BLOCK_SIZE);
        EXPECT_EQ(block.back(), '\0');
        EXPECT_EQ(block.find_first_not_of('Z'), block.size() - 1);
        any_full = any_full || block.size() == RX_BLOCK_SIZE;
    }
    EXPECT_EQ(recorder.bytes, 12000u);
    EXPECT_EQ(take_trace().find("Rx Data block choked!!\n") != std::string::npos, any_full);
}

TEST_F(PortSessionTest, CloseWaitsForTheThreadItWokeFromItsWait) {
    ASSERT_TRUE(open_port());
    send("NULS\r"); // once handed over, the thread is back in its wait
    ASSERT_TRUE(wait_bytes(6));
    take_trace();
    EXPECT_EQ(port_close(), 1);
    // The woken thread notes the close before the close's last line, or
    // finds the session closed before it waits again and says nothing.
    const std::string woken = "---- Not connected abort wait event\n";
    const std::string trace = take_trace();
    EXPECT_TRUE(trace == "halt thread " + woken + "\n" || trace == woken + "halt thread \n" ||
                trace == "halt thread \n")
        << trace;
    EXPECT_EQ(port_session->thread_id.load(), 0u);
}

TEST_F(PortSessionTest, CloseWaitsForADataCallbackInProgress) {
    recorder.hold_callback = true;
    ASSERT_TRUE(open_port());
    send("NULS\r");
    ASSERT_TRUE(wait_bytes(6));
    take_trace();
    EXPECT_EQ(port_close(), 1);
    EXPECT_EQ(take_trace(), "halt thread [callback returns]\n");
    EXPECT_EQ(port_session->thread_id.load(), 0u);
}

TEST_F(PortSessionTest, ClosedOrFailedSessionsOnlySayTheyAreDisconnected) {
    const char* const already = "\n*** Already disconnected!\n";
    ASSERT_TRUE(open_port());
    port_close();
    take_trace();
    EXPECT_EQ(port_close(), 1);
    EXPECT_EQ(take_trace(), already);
    EXPECT_EQ(port_write("AT\r", 3), 0);

    SimModem::point_ports_at_nothing();
    EXPECT_EQ(port_create(0, on_data), 1);
    EXPECT_EQ(port_open(), 0);
    EXPECT_EQ(port_session->connected.load(), 0);
    EXPECT_EQ(port_close(), 1);
    EXPECT_EQ(take_trace(), already);

    port_release();
    EXPECT_EQ(port_close(), 1);
    EXPECT_EQ(port_write("AT\r", 3), 0);
    char buffer[RX_CHUNK];
    EXPECT_EQ(port_read(buffer, RX_CHUNK), 0u);
    EXPECT_EQ(take_trace(), "");
}

TEST_F(PortSessionTest, APortOpensAgainAfterAClose) {
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(open_port());
        send("NULS\r");
        ASSERT_TRUE(wait_bytes(6 * (round + 1)));
        port_close();
    }
    // The same record too, as after a failed attempt.
    ASSERT_EQ(port_open(), 1);
    send("NULS\r");
    EXPECT_TRUE(wait_bytes(24));
}

TEST_F(PortSessionTest, AModemHangingUpMidAnswerLeavesThePortUsable) {
    ASSERT_TRUE(open_port());
    send("ATi3\r");
    ASSERT_TRUE(sim.wait_for_line("hung up"));
    send("ATi3\r"); // into a dead line: refused or lost, never a crash
    port_close();
    EXPECT_LE(recorder.bytes, 3000u);

    const size_t before = recorder.bytes;
    ASSERT_TRUE(open_port());
    send("NULS\r");
    EXPECT_TRUE(wait_bytes(before + 6));
}

} // namespace
