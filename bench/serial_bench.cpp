// Prints the serial link's figures against the simulated modem:
//   round trip   command written -> modem -> data callback (median, p99)
//   idle CPU     CPU time of this process while an open port stays silent 5 s
//   close        port_close from call to return (median, p99, max)
#include "serial/port_session.h"
#include "tests/serial/sim_modem.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::mutex mutex;
std::condition_variable arrived;
size_t received = 0;

void on_data(void*, const char*, uint32_t length) {
    std::lock_guard<std::mutex> lock(mutex);
    received += length;
    arrived.notify_all();
}

bool wait_received(size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(5), [&] { return received >= count; });
}

PortSlot slot; // every COM port leads to the simulated modem

bool open_port() {
    slot.path_lookup = SimModem::lookup;
    return !port_create(slot, 0, on_data, nullptr) && !port_open(slot);
}

double micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void print_spread(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    std::printf("%-12s n=%zu median %.1f us  p99 %.1f us  max %.1f us\n", what, n, values[n / 2],
                values[std::min(n - 1, n * 99 / 100)], values[n - 1]);
}

bool round_trip(int count) {
    if (!open_port()) {
        return false;
    }
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const size_t expected = received + 6;
        const Clock::time_point start = Clock::now();
        port_write(slot, "NULS\r", 5);
        if (!wait_received(expected)) {
            return false;
        }
        times.push_back(micros(Clock::now() - start));
    }
    port_close(slot);
    print_spread("round trip", times);
    return true;
}

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool idle_cpu(int seconds) {
    if (!open_port()) {
        return false;
    }
    const double before = cpu_seconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds)); // the idle period measured
    const double used = cpu_seconds() - before;
    port_close(slot);
    std::printf("idle CPU     %.3f ms over %d s = %.4f %% (target < 1 %%)\n", used * 1e3, seconds,
                100.0 * used / seconds);
    return true;
}

bool close_latency(int count) {
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        if (!open_port()) {
            return false;
        }
        const Clock::time_point start = Clock::now();
        port_close(slot);
        times.push_back(micros(Clock::now() - start));
    }
    print_spread("close", times);
    std::printf("             (target < 20000 us)\n");
    return true;
}

} // namespace

int main() {
    SimModem sim("echo = 0\nreply.nuls = AB\\0C\\0D\n");
    if (!sim.ready()) {
        std::fprintf(stderr, "the simulated modem did not start\n");
        return 1;
    }
    const bool ok = round_trip(1000) && idle_cpu(5) && close_latency(300);
    port_release(slot);
    if (!ok) {
        std::fprintf(stderr, "the port failed\n");
    }
    return ok ? 0 : 1;
}
