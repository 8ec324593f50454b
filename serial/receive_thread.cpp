#include "serial/receive_thread.h"

#include "common/trace.h"
#include "serial/device.h"
#include "serial/port_failure.h"
#include "serial/port_session.h"

#include <cstring>

namespace {

constexpr uint32_t BLOCK_DATA_MAX = RX_BLOCK_SIZE - 1; // room for the NUL after the data

// The thread's own gathering storage, on its stack: nothing is allocated per burst.
struct Gathering {
    char chunk[RX_CHUNK];
    char block[RX_BLOCK_SIZE];
    uint32_t gathered;
};

// Gives whether there was anything to hand over.
bool hand_over(PortSession* session, Gathering& g) {
    const bool any = g.gathered > 0;
    if (any && session->data_callback != nullptr) {
        session->data_callback(session->callback_context, g.block, g.gathered);
    }
    g.gathered = 0;
    g.block[0] = '\0';
    return any;
}

// Modems pad some answers with a NUL; the first one of each read becomes a
// blank so the reply reads as one text. Later NULs of the chunk stay.
void blank_first_nul(char* chunk, uint32_t length) {
    void* nul = std::memchr(chunk, '\0', length);
    if (nul != nullptr) {
        *static_cast<char*>(nul) = ' ';
    }
}

// Reads what the port has queued, one chunk per read. A block that fills up
// is handed over whole and collecting goes on in a fresh one, so nothing is
// ever stored past its end.
void collect(PortSession* session, Gathering& g) {
    for (;;) {
        const uint32_t room = BLOCK_DATA_MAX - g.gathered;
        const uint32_t want = room < RX_CHUNK ? room : RX_CHUNK;
        const uint32_t n = port_read(session, g.chunk, want);
        if (n == 0) {
            break;
        }
        blank_first_nul(g.chunk, n);
        std::memcpy(g.block + g.gathered, g.chunk, n);
        g.gathered += n;
        g.block[g.gathered] = '\0';
        if (g.gathered == BLOCK_DATA_MAX) {
            trace("Rx Data block choked!!\n");
            hand_over(session, g);
        }
    }
}

// Drains the port and hands what came over. Handing over may chain the next
// command, and a quick modem has often answered it by the time the callback
// returns: that answer is taken at once, with no wait before it (a wait
// costs a transfer of its own under Wine). Each round needs bytes actually
// read, so a driver that reports bytes it never gives cannot make it spin.
void gather(PortSession* session, Gathering& g) {
    g.gathered = 0;
    g.block[0] = '\0';
    do {
        collect(session, g);
    } while (hand_over(session, g));
}

unsigned end_thread(PortSession* session, PortWaiter* waiter, unsigned exit_code) {
    if (waiter != nullptr) {
        waiter_release(waiter);
    }
    session->thread_id.store(0); // last act: the session no longer has a thread
    return exit_code;
}

} // namespace

unsigned receive_thread(void* argument) {
    PortSession* session = static_cast<PortSession*>(argument);
    PortWaiter* waiter = waiter_create(session->handle);
    if (waiter == nullptr) {
        report_port_failure(session, port_failure(session, Kind::receive_thread,
                                                  "Failed to create event for thread!"));
        return end_thread(session, nullptr, 0);
    }
    if (!device_watch_rx(session->handle)) {
        return end_thread(session, waiter, 0);
    }
    Gathering g;
    while (session->connected.load() != 0) {
        const WaitResult result = waiter_wait(waiter);
        if (session->connected.load() == 0) {
            trace("---- Not connected abort wait event\n");
            break;
        }
        if (result == WaitResult::received) {
            gather(session, g);
        }
    }
    return end_thread(session, waiter, 1);
}
