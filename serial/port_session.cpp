// Creating, opening, configuring and closing the one port session. Runs on
// the user-interface thread only; the receive thread is in receive_thread.cpp.
#include "serial/port_session.h"

#include "common/text.h"
#include "common/trace.h"
#include "serial/device.h"
#include "serial/port_failure.h"
#include "serial/receive_thread.h"

#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace {

constexpr uint32_t READ_TIMEOUT_MS = 1000;
constexpr uint32_t WRITE_TIMEOUT_MS = 1000;
constexpr uint32_t NO_INTERVAL_LIMIT = 0xFFFFFFFF; // reads give what is queued at once

// Releases a record whose receive thread (if any) has ended.
void release_record(PortSession* session) {
    if (session->thread_handle != nullptr) {
        thread_wait(session->thread_handle);
        thread_release(session->thread_handle);
    }
    if (session->handle != nullptr) {
        device_release(session->handle);
    }
    block_release(session->read_block);
    block_release(session->write_block);
    delete session;
}

// A record that is still open is closed first, so no receive thread is left
// reading a record that the slot no longer holds.
void drop_current_session(PortSlot& slot) {
    PortSession* previous = slot.port_session;
    if (previous == nullptr) {
        return;
    }
    if (previous->connected.load() != 0) {
        port_close(previous);
    }
    slot.port_session = nullptr;
    release_record(previous);
}

// Closes the port of a session whose open failed part-way.
void abandon_open(PortSession* session) {
    session->connected.store(0);
    uint32_t error = 0;
    device_close(session->handle, &error);
}

PortTimeouts session_timeouts(const PortSession& session) {
    return PortTimeouts{NO_INTERVAL_LIMIT, 0, READ_TIMEOUT_MS, 19200 / session.speed,
                        WRITE_TIMEOUT_MS};
}

} // namespace

Failure port_failure(const PortSession* session, Kind kind, std::string text, int error) {
    Failure made = failure(kind, std::move(text), error);
    made.port = port_name(session);
    return made;
}

void report_port_failure(PortSession* session, const Failure& failure) {
    if (session != nullptr && session->report_callback != nullptr) {
        session->report_callback(session->callback_context, failure);
    } else {
        tracef("[port] %s\n", failure.text.c_str());
    }
}

namespace {

PortSession* make_record(int port, const char* path, int low_speed, DataCallback data_callback,
                         void* context, ReportCallback report) {
    if (std::strlen(path) >= sizeof PortSession::path) {
        return nullptr;
    }
    PortSession* session = new (std::nothrow) PortSession;
    if (session == nullptr) {
        return nullptr;
    }
    session->data_callback = data_callback;
    session->callback_context = context;
    session->report_callback = report;
    session->port = static_cast<uint8_t>(port & 0xFF);
    copy_text(session->path, path);
    session->speed = low_speed != 0 ? 19200 : 115200;
    session->read_block = block_create();
    session->write_block = session->read_block != nullptr ? block_create() : nullptr;
    if (session->write_block == nullptr) {
        release_record(session);
        return nullptr;
    }
    return session;
}

int set_queues(PortSession* session) {
    if (session == nullptr || session->handle == nullptr) {
        return 0;
    }
    device_set_queues(session->handle, PORT_QUEUE_SIZE, PORT_QUEUE_SIZE);
    return 1;
}

int configure(PortSession* session) {
    if (session == nullptr || session->handle == nullptr) {
        return 0;
    }
    const LineSettings line{session->speed, session->byte_size, session->parity, session->stop_bits,
                            session->flow_control};
    return device_configure(session->handle, line) ? 1 : 0;
}

// Sets up a port just opened and starts its receive thread; gives what
// failed, or null.
const char* set_up(PortSession* session) {
    device_watch_rx(session->handle);
    set_queues(session);
    if (!device_purge(session->handle)) {
        return "its queues cannot be emptied";
    }
    device_set_timeouts(session->handle, session_timeouts(*session));
    if (configure(session) == 0) {
        return "its line cannot be set up";
    }
    session->connected.store(1);
    session->thread_handle = thread_start(receive_thread, session, &session->thread_id);
    return session->thread_handle == nullptr ? "no receive thread can be started" : nullptr;
}

} // namespace

Failure port_create(PortSlot& slot, int low_speed, DataCallback data_callback, void* context,
                    ReportCallback report) {
    drop_current_session(slot);
    slot.port_session =
        make_record(slot.port_number, slot.port_path, low_speed, data_callback, context, report);
    if (slot.port_session == nullptr) {
        return failure(Kind::port_setup, "the port's session cannot be made");
    }
    slot.port_session->path_lookup = slot.path_lookup;
    return {};
}

PortSession* port_create_own(int port, const char* path, DataCallback data_callback, void* context,
                             ReportCallback report) {
    return make_record(port, path, 0, data_callback, context, report);
}

void port_release(PortSession* session) {
    if (session != nullptr) {
        port_close(session);
        release_record(session);
    }
}

int port_set_queues(PortSlot& slot) {
    return set_queues(slot.port_session);
}

int port_configure(PortSlot& slot) {
    return configure(slot.port_session);
}

Failure port_open(PortSlot& slot) {
    return port_open(slot.port_session);
}

Failure port_open(PortSession* session) {
    if (session == nullptr) {
        return failure(Kind::port_setup, "no port session");
    }
    if (session->connected.load() != 0) {
        return port_failure(session, Kind::port_busy, "open already");
    }
    if (session->handle != nullptr) { // an earlier failed open of this record
        device_release(session->handle);
    }
    uint32_t error = 0;
    session->handle = device_open(session->port, session->path, session->path_lookup, &error);
    if (session->handle == nullptr) {
        return port_failure(session, Kind::port_open, "cannot be opened", static_cast<int>(error));
    }
    const char* failed = set_up(session);
    if (failed != nullptr) {
        abandon_open(session);
        return port_failure(session, Kind::port_open, failed);
    }
    // One short drop of DTR tells the modem a new caller has the line.
    device_set_dtr(session->handle, false);
    device_set_dtr(session->handle, true);
    return {};
}

int port_close(PortSlot& slot) {
    return port_close(slot.port_session);
}

int port_close(PortSession* session) {
    if (session == nullptr) {
        return 1;
    }
    if (session->connected.load() == 0) {
        trace("\n*** Already disconnected!\n");
        return 1;
    }
    session->connected.store(0);
    device_stop_watch(session->handle);
    device_set_dtr(session->handle, false);
    device_purge(session->handle);

    // The thread finishes any block in hand (its callback may be showing a
    // box), sees the session closed and ends; wait for exactly that.
    trace("halt thread ");
    thread_wait(session->thread_handle);
    thread_release(session->thread_handle);
    session->thread_handle = nullptr;
    session->thread_id.store(0);
    trace("\n");

    device_set_dtr(session->handle, false);
    device_purge(session->handle);
    uint32_t error = 0;
    if (!device_close(session->handle, &error)) {
        char text[160];
        format_text(text, sizeof text, "Failed to Close Modem Com port %d handle %x, error %d",
                    static_cast<int>(session->port),
                    static_cast<unsigned>(device_raw_handle(session->handle)),
                    static_cast<int>(error));
        report_port_failure(session,
                            port_failure(session, Kind::port_close, text, static_cast<int>(error)));
    }
    return 1;
}

void port_release(PortSlot& slot) {
    drop_current_session(slot);
}

PortSlot::~PortSlot() {
    port_release(*this);
}
