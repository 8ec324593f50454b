// The posix port session against a simulated modem on a pseudo-terminal.
#include "common/text.h"
#include "common/trace.h"
#include "serial/port_session.h"
#include "tests/serial/sim_modem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <thread>
#include <termios.h>
#include <unistd.h>

// The queue of each tcflush the session makes (linked in with --wrap).
static std::vector<int> flushes;
extern "C" int __real_tcflush(int fd, int queue);
extern "C" int __wrap_tcflush(int fd, int queue) {
    flushes.push_back(queue);
    return __real_tcflush(fd, queue);
}

namespace {

constexpr auto SAFETY = std::chrono::seconds(10); // only for a modem that never answers

// What the session handed out, from whichever thread: trace text and blocks.
std::mutex mutex;
std::condition_variable changed;
std::string traced;
std::vector<std::string> blocks; // each with the byte that follows its data
size_t bytes = 0;
bool hold_callback = false; // the data callback returns only once the close began

void on_trace(const char* text) {
    std::lock_guard<std::mutex> lock(mutex);
    traced += text;
    changed.notify_all();
}

void on_data(void*, const char* block, uint32_t length) {
    std::unique_lock<std::mutex> lock(mutex);
    blocks.emplace_back(block, length + 1);
    bytes += length;
    changed.notify_all();
    if (hold_callback) {
        changed.wait_for(lock, SAFETY,
                         [] { return traced.find("halt thread ") != std::string::npos; });
        traced += "[callback returns]";
    }
}

class PortSessionTest : public ::testing::Test {
  protected:
    PortSessionTest() {
        traced.clear();
        blocks.clear();
        bytes = 0;
        hold_callback = false;
        flushes.clear();
        set_trace_sink(on_trace);
    }
    ~PortSessionTest() override { set_trace_sink(nullptr); }
    // Opens the port and asks the modem for `command`'s canned reply.
    bool open_and_send(const char* command = nullptr, int low_speed = 0) {
        slot.path_lookup = SimModem::lookup;
        const bool open = !port_create(slot, low_speed, on_data, nullptr) && !port_open(slot);
        return open && (command == nullptr || !port_write(slot, command, std::strlen(command)));
    }
    static bool wait_bytes(size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, SAFETY, [&] { return bytes >= count; });
    }
    static std::string take_trace() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(traced, std::string());
    }

    SimModem sim{"echo = 0\nreply.nulburst = \\0{200}\nreply.nuls = AB\\0C\\0D\n"
                 "reply.flood = Z{12000}\nfault.i3 = hangup long:3000\n"};
    PortSlot slot;
};

// Whatever another program left on the line (2 stop bits, the 8th bit
// stripped, XON/XOFF; a pty keeps no byte size or parity) is replaced.
TEST_F(PortSessionTest, OpenSetsTheLineAtEitherSpeed) {
    const int line = open(sim.link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios left{};
    ASSERT_EQ(tcgetattr(line, &left), 0);
    left.c_cflag |= PARODD | CSTOPB;
    left.c_iflag |= ISTRIP | IXON | IXOFF;
    ASSERT_EQ(tcsetattr(line, TCSANOW, &left), 0);
    for (const auto& [low_speed, speed] :
         {std::pair{0, speed_t{B115200}}, std::pair{1, speed_t{B19200}}}) {
        ASSERT_TRUE(open_and_send(nullptr, low_speed));
        termios tio{};
        const int fd = open(sim.link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_EQ(tcgetattr(fd, &tio), 0);
        close(fd);
        EXPECT_TRUE(cfgetispeed(&tio) == speed && cfgetospeed(&tio) == speed) << low_speed;
        // CLOCAL: no carrier yet, and the port still opens and reads.
        EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CREAD | CLOCAL),
                  CS8 | CRTSCTS | CREAD | CLOCAL);
        EXPECT_EQ((tio.c_lflag & (ICANON | ECHO | ISIG)) | (tio.c_oflag & OPOST), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
        EXPECT_EQ(port_close(slot), 1);
    }
    close(line);
    // Both queues emptied at each open and close: no stale answer is read as the new one's.
    EXPECT_EQ(flushes, std::vector<int>(std::max<size_t>(flushes.size(), 4), TCIOFLUSH));
}

// Every NUL of a burst arrives, and only the first of each read becomes a
// blank: so the reads took 80, 80 and 40 bytes, handed over as one block. A
// flood comes in blocks that never pass their size.
TEST_F(PortSessionTest, DataIsGatheredInChunksAndHandedOverInBlocks) {
    ASSERT_TRUE(open_and_send("NULBURST\r") && wait_bytes(200));
    std::string expected(201, '\0');
    expected[0] = expected[80] = expected[160] = ' ';
    EXPECT_EQ(blocks, std::vector<std::string>{expected});
    ASSERT_TRUE(!port_write(slot, "FLOOD\r", 6) && wait_bytes(12200));
    port_close(slot);
    bool any_full = false;
    for (size_t i = 1; i < blocks.size(); ++i) {
        ASSERT_LE(blocks[i].size(), RX_BLOCK_SIZE);
        EXPECT_EQ(blocks[i].find_first_not_of('Z'), blocks[i].size() - 1); // and its NUL
        any_full = any_full || blocks[i].size() == RX_BLOCK_SIZE;
    }
    EXPECT_EQ(bytes, 12200u);
    EXPECT_EQ(take_trace().find("Rx Data block choked!!\n") != std::string::npos, any_full);
}

// A close waits for the receive thread, even inside a data callback; closing
// again, or after a failed open, only says so; a released session does nothing.
TEST_F(PortSessionTest, CloseWaitsForTheReceiveThreadAndIsSafeToRepeat) {
    const char* const already = "\n*** Already disconnected!\n";
    hold_callback = true;
    ASSERT_TRUE(open_and_send("NULS\r") && wait_bytes(6));
    take_trace();
    EXPECT_EQ(port_close(slot), 1);
    EXPECT_EQ(take_trace(), "halt thread [callback returns]\n");
    EXPECT_EQ(slot.port_session->thread_id.load(), 0u);
    EXPECT_EQ(port_close(slot), 1);
    EXPECT_EQ(take_trace(), already);

    // A failed open: another program holds the port, if only shared.
    const int holder = open(sim.link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(flock(holder, LOCK_SH), 0);
    EXPECT_EQ(port_open(slot).error, EWOULDBLOCK);
    close(holder);
    EXPECT_EQ(port_close(slot), 1);
    EXPECT_EQ(take_trace(), already);

    port_release(slot);
    EXPECT_EQ(port_close(slot), 1);
    EXPECT_EQ(port_write(slot, "AT\r", 3).kind, Kind::port_write);
    char buffer[RX_CHUNK];
    EXPECT_EQ(port_read(slot, buffer, RX_CHUNK), 0u);
}

// A hang-up mid-answer, a write into the dead line and a close leave a port
// that opens again.
TEST_F(PortSessionTest, APortOpensAgainAfterTheModemHungUp) {
    ASSERT_TRUE(open_and_send("ATi3\r") && sim.wait_for_line("hung up"));
    // The dead line leaves the receive thread asleep until the close: a
    // thread that polled it again and again would use the processor all along.
    const std::clock_t before = std::clock();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(std::clock() - before, CLOCKS_PER_SEC / 10) << "processor time while idle";
    port_write(slot, "ATi3\r", 5); // refused or lost, never a crash
    port_close(slot);
    EXPECT_LE(std::exchange(bytes, 0), 3000u);
    ASSERT_TRUE(open_and_send("NULS\r"));
    EXPECT_TRUE(wait_bytes(6));
}

// A write larger than the pty takes at once goes out in pieces as the other
// end drains it; each piece carries on where the last one stopped.
TEST_F(PortSessionTest, ALargeWriteArrivesWholeAndInOrderThroughAFullLine) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    copy_text(slot.port_path, ptsname(master));
    ASSERT_TRUE(open_and_send());
    std::string sent(200000, '\0');
    for (size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
    }
    std::string received;
    std::thread drain([&] {
        char chunk[4096];
        pollfd ready{master, POLLIN, 0};
        while (received.size() < sent.size() && poll(&ready, 1, 10000) == 1) {
            const ssize_t got = read(master, chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            received.append(chunk, static_cast<size_t>(got));
        }
    });
    EXPECT_FALSE(port_write(slot, sent.data(), static_cast<uint32_t>(sent.size())));
    drain.join();
    port_close(slot);
    close(master);
    EXPECT_TRUE(received == sent)
        << received.size() << " bytes, first difference at "
        << std::mismatch(sent.begin(), sent.end(), received.begin(), received.end()).first -
               sent.begin();
}

} // namespace
