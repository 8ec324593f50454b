// The two transfers of an open session. Both start an overlapped transfer on
// the session's own block and wait for it, so callers see blocking calls.
// A read's failure is only traced (the reply deadline catches what is
// missing); a write that the port refuses is given back as a Failure. The
// port's error condition is cleared each time so that later transfers can
// go on.
#include "common/trace.h"
#include "serial/device.h"
#include "serial/port_failure.h"
#include "serial/port_session.h"

namespace {

// Whether the session's port may carry a transfer: present and open.
PortSession* open_session(PortSession* session) {
    if (session == nullptr || session->handle == nullptr || session->connected.load() == 0) {
        return nullptr;
    }
    return session;
}

// Both threads write: the receive thread chains the next command as soon as
// the modem answers, which can be while the dialog's thread is still inside
// its own write. Each write holds the block from its start to its finish.
class HeldBlock {
  public:
    explicit HeldBlock(PortBlock* block) : block_(block) { block_hold(block_); }
    ~HeldBlock() { block_let_go(block_); }
    HeldBlock(const HeldBlock&) = delete;
    HeldBlock& operator=(const HeldBlock&) = delete;

  private:
    PortBlock* block_;
};

} // namespace

uint32_t port_read(PortSession* session, char* buffer, uint32_t max) {
    session = open_session(session);
    if (session == nullptr || buffer == nullptr) {
        return 0;
    }
    uint32_t queued = 0;
    device_clear_errors(session->handle, &queued);
    const uint32_t n = max < queued ? max : queued;
    if (n == 0) {
        return 0; // never wait for bytes that have not arrived
    }
    uint32_t done = 0;
    uint32_t error = 0;
    const IoStart start =
        device_read(session->handle, session->read_block, buffer, n, &done, &error);
    if (start == IoStart::done) {
        return done;
    }
    trace("Read ERROR\n");
    if (start == IoStart::pending) {
        trace("\n\rIO Pending");
        if (device_finish(session->handle, session->read_block, &done, &error)) {
            return done;
        }
        tracef("read error <CE-%u>\n", static_cast<unsigned>(error));
    }
    device_clear_errors(session->handle, nullptr);
    return 0;
}

Failure port_write(PortSession* session, const char* buffer, uint32_t count) {
    PortSession* open = open_session(session);
    if (open == nullptr || (buffer == nullptr && count > 0)) {
        return port_failure(session, Kind::port_write, "the port is not open");
    }
    session = open;
    const uint32_t flags = device_clear_errors(session->handle, nullptr);
    if (flags != 0) {
        tracef("Write ErrorFlags %x\n", static_cast<unsigned>(flags));
    }
    HeldBlock held(session->write_block);
    uint32_t done = 0;
    uint32_t error = 0;
    const IoStart start =
        device_write(session->handle, session->write_block, buffer, count, &done, &error);
    if (start == IoStart::done) {
        return {};
    }
    if (start == IoStart::failed) {
        device_clear_errors(session->handle, nullptr);
        return port_failure(session, Kind::port_write, "the port took no write",
                            static_cast<int>(error));
    }
    // Accepted: a wait that then fails still counts as sent, as the modem's
    // answer (or its deadline) tells the conversation what happened.
    if (!device_finish(session->handle, session->write_block, &done, &error)) {
        tracef("recover write <CE-%u>\n", static_cast<unsigned>(error));
        device_clear_errors(session->handle, nullptr);
    }
    return {};
}
