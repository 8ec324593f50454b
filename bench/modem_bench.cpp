// Prints the modem conversation's figures:
//   verdict latency  the final byte of "\r\nOK\r\n" written into the line ->
//                    notification posted, through the posix port session
//                    (a pseudo-terminal this program drives; median, p99)
//   round trip       ATi5 sent -> simulated modem -> NOTIFY_I5_READ posted
//   gathering        on_modem_data on a buffer of 3000 characters
#include "modem/command_table.h"
#include "modem/conversation.h"
#include "modem/front_end.h"
#include "serial/port_session.h"
#include "tests/serial/sim_modem.h"

#include "common/text.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Takes the time of every post; everything else a front end would do is idle.
class TimingSeam : public FrontEnd {
  public:
    void identified(const char*) override { post(); }
    void list_read(unsigned, bool) override { post(); }
    void code_read() override { post(); }
    void ended(unsigned, bool) override { post(); }
    void answered(unsigned, bool) override { post(); }
    void report(const Failure&) override {}
    void post() {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_at_ = Clock::now();
        ++posts_;
        changed_.notify_all();
    }
    bool wait_post(size_t count, Clock::time_point* at) {
        std::unique_lock<std::mutex> lock(mutex_);
        bool ok = changed_.wait_for(lock, std::chrono::seconds(5), [&] { return posts_ >= count; });
        *at = posted_at_;
        return ok;
    }
    size_t posts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return posts_;
    }
    void arm_deadline(unsigned, unsigned) override {}
    void cancel_deadline(unsigned) override {}
    void start_deadline(unsigned, unsigned) override {}
    bool on_front_end_thread() override { return false; }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    Clock::time_point posted_at_;
    size_t posts_ = 0;
};

TimingSeam seam;
PortSlot slot;
modem::Conversation talk{seam, slot.port_session};
char line_path[128];

void our_line(uint8_t, char* path, size_t capacity) {
    copy_text(path, capacity, line_path);
}

double micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void print_spread(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    std::printf("%-16s n=%zu median %.1f us  p99 %.1f us  max %.1f us\n", what, n, values[n / 2],
                values[std::min(n - 1, n * 99 / 100)], values[n - 1]);
}

bool open_port() {
    slot.port_number = 1;
    return !port_create(slot, 0, modem::Conversation::receive, &talk) && !port_open(slot);
}

// Reads what the session wrote (the command) off the pseudo-terminal's far side.
void drain(int master) {
    char sink[256];
    pollfd ready{master, POLLIN, 0};
    while (poll(&ready, 1, 0) > 0 && read(master, sink, sizeof sink) > 0) {
    }
}

bool verdict_latency(int rounds) {
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, line_path, nullptr, nullptr) != 0) {
        return false;
    }
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    slot.path_lookup = our_line;
    if (!open_port()) {
        return false;
    }
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        talk.send_modem_command(CMD_WRITE_I9); // answered OK: NOTIFY_DISCONNECT 1
        drain(master);
        size_t expected = seam.posts() + 1;
        Clock::time_point sent = Clock::now();
        if (write(master, "\r\nOK\r\n", 6) != 6) {
            return false;
        }
        Clock::time_point posted;
        if (!seam.wait_post(expected, &posted)) {
            return false;
        }
        times.push_back(micros(posted - sent));
    }
    port_close(slot);
    port_release(slot);
    close(slave);
    close(master);
    print_spread("verdict latency", times);
    return true;
}

bool round_trip(int rounds) {
    SimModem sim("echo = 0\ncountry = B5\n");
    if (!sim.ready()) {
        return false;
    }
    slot.path_lookup = SimModem::lookup;
    if (!open_port()) {
        return false;
    }
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        size_t expected = seam.posts() + 1;
        Clock::time_point sent = Clock::now();
        talk.send_modem_command(CMD_READ_I5);
        Clock::time_point posted;
        if (!seam.wait_post(expected, &posted)) {
            return false;
        }
        times.push_back(micros(posted - sent));
    }
    port_close(slot);
    port_release(slot);
    print_spread("ATi5 round trip", times);
    return true;
}

// Nanoseconds per call of `step`, over `rounds` calls.
template <typename Step> double per_call(int rounds, Step step) {
    Clock::time_point start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        step();
    }
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / rounds;
}

void gathering() {
    const std::string whole = std::string(2994, 'x') + "\r\nOK\r\n";
    const std::string body(2994, 'x');
    const int rounds = 20000;
    // The deadline is claimed by each verdict, so each round arms it anew.
    double one_block = per_call(rounds, [&] {
        talk.conversation_state = CMD_WRITE_I9;
        talk.arm_reply_deadline(1000);
        talk.on_modem_data(whole.c_str(), static_cast<uint32_t>(whole.size()));
    });
    double last_piece = per_call(rounds, [&] {
        talk.conversation_state = CMD_WRITE_I9;
        talk.arm_reply_deadline(1000);
        talk.on_modem_data(body.c_str(), static_cast<uint32_t>(body.size()));
        talk.on_modem_data("\r\nOK\r\n", 6);
    });
    double bytewise = per_call(200, [&] {
        talk.conversation_state = CMD_WRITE_I9;
        talk.arm_reply_deadline(1000);
        for (char c : whole) {
            talk.on_modem_data(&c, 1);
        }
    });
    std::printf("gathering        3000 chars in one block: %.0f ns; 2994 + 6-byte final block: "
                "%.0f ns; 3000 one-byte blocks: %.1f us (%.1f ns a block)\n",
                one_block, last_piece, bytewise / 1000, bytewise / 3000);
}

} // namespace

int main() {
    gathering();
    if (!verdict_latency(2000)) {
        std::printf("verdict latency: the pseudo-terminal could not be used\n");
        return 1;
    }
    if (!round_trip(1000)) {
        std::printf("round trip: the simulated modem did not answer\n");
        return 1;
    }
    return 0;
}
