#include "tests/support/fake_port.h"

#include <gtest/gtest.h>

#include "serial/port_session.h"
#include "tests/support/ui_thread.h"

#include <deque>
#include <mutex>
#include <thread>

namespace fake {
namespace {

struct State {
    std::mutex mutex;
    std::vector<std::string> writes;
    std::deque<std::string> inbox;
    bool handing_over = false; // a block is in the data callback
    int closed = 0;
    int last_port = 0;
    int refuse_writes = 0;
    bool stop = false;
    bool running = false;
    std::thread receiver;
    std::function<void(const std::string&)> responder;
    std::function<bool(int)> open_filter;
    PortSession session; // there is one fake port: every slot's session is this one
} state;

template <class F> auto locked(F action) {
    std::lock_guard<std::mutex> lock(state.mutex);
    return action();
}

// All waits go through the dialog thread's condition, so a close on that
// thread keeps handling sent calls while it waits.
bool wait(const std::function<bool()>& done, std::chrono::milliseconds safety) {
    return ui_thread().wait_until([&] { return locked(done); }, safety);
}

void receive_loop(DataCallback callback, void* context) {
    for (;;) {
        std::string block;
        wait(
            [&] {
                if (state.stop || state.inbox.empty()) {
                    return state.stop;
                }
                block = std::move(state.inbox.front());
                state.inbox.pop_front();
                return state.handing_over = true;
            },
            std::chrono::hours(1));
        if (!locked([] { return state.handing_over; })) {
            break; // stopped
        }
        callback(context, block.c_str(), static_cast<uint32_t>(block.size()));
        locked([] { state.handing_over = false; });
        ui_thread().notify();
    }
    locked([] { state.running = false; });
    ui_thread().notify();
}

void stop_receiving() {
    if (!locked([] { return state.stop = state.receiver.joinable(); })) { // asks it to stop
        return;
    }
    ui_thread().notify();
    // The receive thread may be inside a box that needs the dialog's thread.
    wait([] { return !state.running; }, std::chrono::hours(1));
    state.receiver.join();
    locked([] { state.inbox.clear(); });
}

} // namespace

void FakePort::reset() {
    fake::stop_receiving();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.session.connected = 0;
    state.writes.clear();
    state.closed = state.last_port = state.refuse_writes = 0;
    state.responder = nullptr;
    state.open_filter = nullptr;
}

void FakePort::set_open_filter(std::function<bool(int)> filter) {
    locked([&] { state.open_filter = std::move(filter); });
}

void FakePort::refuse_writes(int error) {
    locked([&] { state.refuse_writes = error; });
}

void FakePort::set_responder(std::function<void(const std::string&)> responder) {
    locked([&] { state.responder = std::move(responder); });
}

void FakePort::deliver(const std::string& block) {
    locked([&] {
        if (state.running) {
            state.inbox.push_back(block);
        }
    });
    ui_thread().notify();
}

bool FakePort::wait_delivered(std::chrono::milliseconds safety) {
    return wait([] { return state.inbox.empty() && !state.handing_over; }, safety);
}

std::vector<std::string> FakePort::writes() const {
    return locked([] { return state.writes; });
}

int FakePort::closed() const {
    return locked([] { return state.closed; });
}

int FakePort::last_port() const {
    return locked([] { return state.last_port; });
}

bool FakePort::receiving() const {
    return locked([] { return state.running; });
}

FakePort& fake_port() {
    static FakePort port;
    return port;
}

} // namespace fake

// The serial interface, as the portable core and the dialog call it.
using fake::locked;
using fake::state;

Failure port_create(PortSlot& slot, int, DataCallback data_callback, void* context,
                    ReportCallback report) {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.last_port = slot.port_number & 0xFF;
    slot.port_session = &state.session;
    state.session.port = static_cast<uint8_t>(slot.port_number & 0xFF);
    state.session.data_callback = data_callback;
    state.session.callback_context = context;
    state.session.report_callback = report;
    return {};
}

Failure port_open(PortSlot& slot) {
    PortSession* port_session = slot.port_session;
    int port = 0;
    auto filter = locked([&] {
        port = state.last_port;
        return state.open_filter;
    });
    bool present = !filter || filter(port); // unlocked: it may take locks of its own
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!present || port_session == nullptr || state.running) {
        return failure(Kind::port_open, "cannot be opened", 2);
    }
    port_session->connected = 1;
    state.stop = false;
    state.running = true;
    state.receiver = std::thread(fake::receive_loop, port_session->data_callback,
                                 port_session->callback_context);
    return {};
}

int port_set_queues(PortSlot&) {
    return 1;
}
int port_configure(PortSlot&) {
    return 1;
}

int port_close(PortSlot& slot) {
    return port_close(slot.port_session);
}

int port_close(PortSession* session) {
    locked([] { ++state.closed; });
    if (session != nullptr) {
        session->connected = 0;
    }
    fake::stop_receiving();
    return 1;
}

void port_release(PortSlot& slot) {
    fake::stop_receiving();
    locked([] { state.session.connected = 0; });
    slot.port_session = nullptr;
}

PortSlot::~PortSlot() {
    port_release(*this);
}

uint32_t port_read(PortSession*, char*, uint32_t) {
    return 0;
}

Failure port_write(PortSession* session, const char* buffer, uint32_t count) {
    if (const int error = locked([] { return state.refuse_writes; })) {
        Failure refused = failure(Kind::port_write, "the port took no write", error);
        refused.port = port_name(session);
        return refused;
    }
    std::string written(buffer, count);
    auto responder = locked([&] {
        state.writes.push_back(written);
        return state.responder;
    });
    if (responder) {
        responder(written);
    }
    // A real port reads the caller's bytes until the write completes.
    EXPECT_EQ(std::string(buffer, count), written) << "the bytes changed while being written";
    return {};
}
