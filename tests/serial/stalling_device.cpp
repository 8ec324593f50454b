#include "tests/serial/stalling_device.h"

#include "serial/device.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <utility>

struct PortDevice {};
struct PortWaiter {};

// A transfer in flight, as a driver reads it from the caller's block.
struct PortBlock {
    std::mutex hold;
    const char* from = nullptr;
    uint32_t remaining = 0;
};

namespace stalling {
namespace {

constexpr auto SAFETY = std::chrono::seconds(5);

struct Line {
    std::mutex mutex;
    std::condition_variable changed;
    std::string answer;   // sent back while the first command goes out
    std::string received; // what reached the modem
    std::string queued;   // what the modem sent and the port has not read
    int writes_started = 0;
    int waiting_for_block = 0; // threads waiting to start a transfer on a busy block
    bool stopped = false;
    bool dtr = false;
    bool read_past_queue = false; // a read asked for bytes not yet there
} line;

// The first command's bytes are still on their way when its answer comes
// back; they finish once the answer has led to the next write (or to a
// thread waiting for the block to start it).
void answer_first_command(std::unique_lock<std::mutex>& lock) {
    line.queued += std::exchange(line.answer, std::string());
    line.changed.notify_all();
    line.changed.wait_for(lock, SAFETY,
                          [] { return line.writes_started > 1 || line.waiting_for_block > 0; });
}

} // namespace

void reset(const std::string& answer) {
    std::lock_guard<std::mutex> lock(line.mutex);
    line.answer = answer;
    line.received.clear();
    line.queued.clear();
    line.writes_started = 0;
    line.waiting_for_block = 0;
    line.stopped = false;
    line.dtr = false;
    line.read_past_queue = false;
}

bool dtr_on() {
    std::lock_guard<std::mutex> lock(line.mutex);
    return line.dtr;
}

bool read_past_queue() {
    std::lock_guard<std::mutex> lock(line.mutex);
    return line.read_past_queue;
}

std::string wait_received(size_t count, std::chrono::milliseconds safety) {
    std::unique_lock<std::mutex> lock(line.mutex);
    line.changed.wait_for(lock, safety, [&] { return line.received.size() >= count; });
    return line.received;
}

} // namespace stalling

using stalling::answer_first_command;
using stalling::line;

PortBlock* block_create() {
    return new PortBlock;
}
void block_release(PortBlock* block) {
    delete block;
}
void block_hold(PortBlock* block) {
    if (block->hold.try_lock()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(line.mutex);
        ++line.waiting_for_block;
        line.changed.notify_all();
    }
    block->hold.lock();
    std::lock_guard<std::mutex> lock(line.mutex);
    --line.waiting_for_block;
}
void block_let_go(PortBlock* block) {
    block->hold.unlock();
}

PortDevice* device_open(uint8_t, const char*, PortPathLookup, uint32_t*) {
    return new PortDevice;
}
bool device_watch_rx(PortDevice*) {
    return true;
}
void device_stop_watch(PortDevice*) {
    std::lock_guard<std::mutex> lock(line.mutex);
    line.stopped = true;
    line.changed.notify_all();
}
bool device_set_queues(PortDevice*, uint32_t, uint32_t) {
    return true;
}
bool device_purge(PortDevice*) {
    return true;
}
bool device_set_timeouts(PortDevice*, const PortTimeouts&) {
    return true;
}
bool device_configure(PortDevice*, const LineSettings&) {
    return true;
}
bool device_set_dtr(PortDevice*, bool on) {
    std::lock_guard<std::mutex> lock(line.mutex);
    line.dtr = on;
    return true;
}

uint32_t device_clear_errors(PortDevice*, uint32_t* queued) {
    std::lock_guard<std::mutex> lock(line.mutex);
    if (queued != nullptr) {
        *queued = static_cast<uint32_t>(line.queued.size());
    }
    return 0;
}

IoStart device_read(PortDevice*, PortBlock*, char* buffer, uint32_t count, uint32_t* done,
                    uint32_t*) {
    std::lock_guard<std::mutex> lock(line.mutex);
    // A real port would wait for the rest: the receive thread would stall.
    line.read_past_queue = line.read_past_queue || count > line.queued.size();
    *done = std::min<uint32_t>(count, static_cast<uint32_t>(line.queued.size()));
    std::memcpy(buffer, line.queued.data(), *done);
    line.queued.erase(0, *done);
    return IoStart::done;
}

IoStart device_write(PortDevice*, PortBlock* block, const char* buffer, uint32_t count, uint32_t*,
                     uint32_t*) {
    std::lock_guard<std::mutex> lock(line.mutex);
    ++line.writes_started;
    line.changed.notify_all();
    block->from = buffer;
    block->remaining = count;
    return IoStart::pending;
}

bool device_finish(PortDevice*, PortBlock* block, uint32_t* done, uint32_t*) {
    std::unique_lock<std::mutex> lock(line.mutex);
    if (!line.answer.empty()) {
        answer_first_command(lock);
    }
    *done = block->remaining;
    line.received.append(block->from != nullptr ? block->from : "", block->remaining);
    block->from = nullptr;
    block->remaining = 0;
    line.changed.notify_all();
    return true;
}

bool device_close(PortDevice*, uint32_t* error) {
    *error = 0;
    return true;
}
uintptr_t device_raw_handle(const PortDevice*) {
    return 0;
}
void device_release(PortDevice* device) {
    delete device;
}

PortWaiter* waiter_create(PortDevice*) {
    return new PortWaiter;
}
WaitResult waiter_wait(PortWaiter*) {
    std::unique_lock<std::mutex> lock(line.mutex);
    line.changed.wait(lock, [] { return line.stopped || !line.queued.empty(); });
    return line.stopped ? WaitResult::stopped : WaitResult::received;
}
void waiter_release(PortWaiter* waiter) {
    delete waiter;
}
