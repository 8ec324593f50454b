#include "tests/support/fake_port.h"

#include "serial/port_session.h"
#include "tests/support/ui_thread.h"

#include <deque>
#include <mutex>
#include <thread>

int port_number = 0;
PortSession* port_session = nullptr;

namespace fake {
namespace {

struct State {
    std::mutex mutex;
    std::vector<std::string> writes;
    std::deque<std::string> inbox;
    size_t delivered = 0;
    size_t handed_over = 0;
    int created = 0;
    int opened = 0;
    int closed = 0;
    int last_port = 0;
    int last_low_speed = -1;
    int create_result = 1;
    int open_result = 1;
    bool stop = false;
    bool running = false;
    std::thread receiver;
    std::function<void(const std::string&)> responder;
    std::function<bool(int)> open_filter;
};

State& state() {
    static State s;
    return s;
}

// All waits go through the dialog thread's condition, so a close on that
// thread keeps handling sent calls while it waits.
bool wait(const std::function<bool()>& done, std::chrono::milliseconds safety) {
    return ui_thread().wait_until(
        [&] {
            std::lock_guard<std::mutex> lock(state().mutex);
            return done();
        },
        safety);
}

void receive_loop(DataCallback callback) {
    State& s = state();
    for (;;) {
        ui_thread().wait_until(
            [&] {
                std::lock_guard<std::mutex> lock(s.mutex);
                return s.stop || !s.inbox.empty();
            },
            std::chrono::hours(1));
        std::string block;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.stop) {
                break;
            }
            if (s.inbox.empty()) {
                continue;
            }
            block = std::move(s.inbox.front());
            s.inbox.pop_front();
        }
        if (callback != nullptr) {
            callback(block.c_str(), static_cast<uint32_t>(block.size()));
        }
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            ++s.handed_over;
        }
        ui_thread().notify();
    }
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.running = false;
    }
    ui_thread().notify();
}

void stop_receiving() {
    State& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.receiver.joinable()) {
            return;
        }
        s.stop = true;
    }
    ui_thread().notify();
    // The receive thread may be inside a box that needs the dialog's thread.
    wait([&] { return !s.running; }, std::chrono::hours(1));
    s.receiver.join();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.inbox.clear();
    s.handed_over = s.delivered;
}

} // namespace

void FakePort::reset() {
    if (port_session != nullptr) {
        port_session->connected = 0;
    }
    stop_receiving();
    delete port_session;
    port_session = nullptr;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.writes.clear();
    s.delivered = s.handed_over = 0;
    s.created = s.opened = s.closed = 0;
    s.last_port = 0;
    s.last_low_speed = -1;
    s.create_result = 1;
    s.open_result = 1;
    s.responder = nullptr;
    s.open_filter = nullptr;
}

void FakePort::set_create_result(int result) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().create_result = result;
}

void FakePort::set_open_result(int result) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().open_result = result;
}

void FakePort::set_open_filter(std::function<bool(int)> filter) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().open_filter = std::move(filter);
}

void FakePort::set_responder(std::function<void(const std::string&)> responder) {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().responder = std::move(responder);
}

void FakePort::deliver(const std::string& block) {
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        if (!state().running) {
            return;
        }
        state().inbox.push_back(block);
        ++state().delivered;
    }
    ui_thread().notify();
}

bool FakePort::wait_delivered(std::chrono::milliseconds safety) {
    return wait([] { return state().handed_over >= state().delivered; }, safety);
}

std::vector<std::string> FakePort::writes() const {
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().writes;
}

#define FAKE_PORT_COUNTER(name, field)                                                             \
    int FakePort::name() const {                                                                   \
        std::lock_guard<std::mutex> lock(state().mutex);                                           \
        return state().field;                                                                      \
    }
FAKE_PORT_COUNTER(created, created)
FAKE_PORT_COUNTER(opened, opened)
FAKE_PORT_COUNTER(closed, closed)
FAKE_PORT_COUNTER(last_port, last_port)
FAKE_PORT_COUNTER(last_low_speed, last_low_speed)
#undef FAKE_PORT_COUNTER

bool FakePort::receiving() const {
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().running;
}

FakePort& fake_port() {
    static FakePort port;
    return port;
}

} // namespace fake

// The serial interface, as the portable core and the dialog call it.

int port_create(int low_speed, DataCallback data_callback) {
    fake::State& s = fake::state();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.created;
    s.last_port = port_number & 0xFF;
    s.last_low_speed = low_speed;
    if (s.create_result != 1) {
        return -1;
    }
    if (port_session == nullptr) {
        port_session = new PortSession;
    }
    port_session->port = static_cast<uint8_t>(port_number & 0xFF);
    port_session->speed = low_speed != 0 ? 19200 : 115200;
    port_session->data_callback = data_callback;
    return 1;
}

int port_open() {
    fake::State& s = fake::state();
    std::function<bool(int)> filter;
    int port = 0;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        filter = s.open_filter;
        port = s.last_port;
    }
    bool present = !filter || filter(port); // called unlocked: it may take locks of its own
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.opened;
    if (!present || s.open_result != 1 || port_session == nullptr || s.running) {
        return 0;
    }
    port_session->connected = 1;
    s.stop = false;
    s.running = true;
    s.receiver = std::thread(fake::receive_loop, port_session->data_callback);
    return 1;
}

int port_set_queues() {
    return 1;
}
int port_configure() {
    return 1;
}

int port_close() {
    {
        std::lock_guard<std::mutex> lock(fake::state().mutex);
        ++fake::state().closed;
    }
    if (port_session != nullptr) {
        port_session->connected = 0;
    }
    fake::stop_receiving();
    return 1;
}

void port_release() {
    fake::stop_receiving();
    delete port_session;
    port_session = nullptr;
}

uint32_t port_read(char*, uint32_t) {
    return 0;
}

int port_write(const char* buffer, uint32_t count) {
    std::string written(buffer, count);
    std::function<void(const std::string&)> responder;
    {
        std::lock_guard<std::mutex> lock(fake::state().mutex);
        fake::state().writes.push_back(written);
        responder = fake::state().responder;
    }
    if (responder) {
        responder(written);
    }
    return 1;
}
