// The one open serial port of a conversation: its line settings, its receive
// thread and its transfers. The logic here is shared by every platform; the
// platform's part (open, configure, wait, read, write, thread) sits behind
// serial/device.h, in win32_device.cpp and linux_device.cpp.
#pragma once

#include "common/failure.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// Called on the receive thread with each gathered block; block[length] is
// NUL. `context` is the one given to port_create: the conversation that
// listens on the port.
using DataCallback = void (*)(void* context, const char* block, uint32_t length);
// Called with the same context when the session itself fails in a way the
// user must hear of: the port will not close, or the receive thread cannot
// start properly. May run on either thread.
using ReportCallback = void (*)(void* context, const Failure& failure);

constexpr uint8_t FLOW_DTR_DSR = 1;
constexpr uint8_t FLOW_RTS_CTS = 2;
constexpr uint8_t FLOW_XON_XOFF = 4;

constexpr uint32_t RX_CHUNK = 80;          // the most one read asks for
constexpr uint32_t RX_BLOCK_SIZE = 5376;   // gathering block, with its NUL
constexpr uint32_t PORT_QUEUE_SIZE = 5376; // driver queues, each way
constexpr unsigned PORT_PATH_SIZE = 256;   // a device path, with its NUL

// Writes the device path for COM port `port` into `path` (`capacity` bytes):
// where a posix system finds COM port n. Without one it is /dev/ttyS<n-1>; a
// test gives its own, for example one that names a simulated modem's
// pseudo-terminal. Windows opens COM ports by their names and never asks.
using PortPathLookup = void (*)(uint8_t port, char* path, size_t capacity);

struct PortDevice; // the platform's open port
struct PortBlock;  // the platform's block for one overlapped transfer, with its event
struct PortThread; // the platform's receive thread

struct PortSession {
    PortDevice* handle = nullptr;  // null until port_open; stays after the close
    uint8_t port = 0;              // COM port number (low byte of port_number)
    std::atomic<int> connected{0}; // the receive thread runs only while 1
    uint8_t byte_size = 8;
    uint8_t flow_control = FLOW_RTS_CTS;
    uint8_t parity = 0;    // NOPARITY
    uint8_t stop_bits = 0; // ONESTOPBIT
    uint32_t speed = 115200;
    PortThread* thread_handle = nullptr; // released by the close once the thread has ended
    std::atomic<uint32_t> thread_id{0};  // stored before the thread runs; it clears it as it ends
    PortBlock* write_block = nullptr;    // every write of this session (made by port_create)
    PortBlock* read_block = nullptr;     // every read of this session (made by port_create)
    DataCallback data_callback = nullptr;
    void* callback_context = nullptr;
    ReportCallback report_callback = nullptr; // null: the failure is only traced
    char path[PORT_PATH_SIZE] = "";           // the device to open; "" for COM port `port`
    PortPathLookup path_lookup = nullptr;     // where COM port `port` is (posix); null: ttyS
};

// The port as the user knows it: the device path, or "COM<n>"; "" for none.
inline std::string port_name(const PortSession* session) {
    if (session == nullptr) {
        return "";
    }
    return session->path[0] != '\0' ? session->path : "COM" + std::to_string(session->port);
}

// A front end's one port at a time: the dialog keeps one (dialog/dialog_seam.h),
// and so does each test or tool that talks to COM port numbers.
struct PortSlot {
    PortSlot() = default;
    PortSlot(const PortSlot&) = delete; // it owns its session
    PortSlot& operator=(const PortSlot&) = delete;
    ~PortSlot();

    // The COM port that the next port_create uses (the scan and the modem list set it).
    int port_number = 0;
    // A device path that the next port_create opens instead of COM port
    // port_number, when not empty: "/dev/ttyACM0", or a link to a
    // pseudo-terminal, as the serial tests use it. The dialog leaves it empty
    // and keeps to COM numbers; the command line gives each of its own
    // sessions a path instead (port_create_own). Posix only.
    char port_path[PORT_PATH_SIZE] = "";
    // Where the sessions made here find COM port port_number (posix).
    PortPathLookup path_lookup = nullptr;
    // The current session; replaced only while no receive thread exists. The
    // dialog's conversation is made with it as the place of its port session.
    PortSession* port_session = nullptr;
};

// The slot's session: made, opened and closed on the user-interface thread.
// Each gives no failure (Kind::none) when it succeeded: port_setup when the
// record cannot be made, port_open with the system's error number when the
// port cannot be opened and set up.
Failure port_create(PortSlot& slot, int low_speed, DataCallback data_callback, void* context,
                    ReportCallback report = nullptr);
Failure port_open(PortSlot& slot);
int port_set_queues(PortSlot& slot);
int port_configure(PortSlot& slot);
// Closes the session if it is open; always 1, and returns only after its
// receive thread has ended. Null is a session that was never made.
int port_close(PortSession* session);
int port_close(PortSlot& slot);
// Closes the session if it is still open, then releases the record and its
// blocks; the slot becomes empty. The slot's end does it too.
void port_release(PortSlot& slot);

// A session of its own, outside the slot, for a front end that talks to
// several ports at once: COM port `port`, or the device `path` when it is not
// empty (posix). Made, opened, closed and released on one thread; the close
// is port_close(session). nullptr when out of memory or the path is too long.
PortSession* port_create_own(int port, const char* path, DataCallback data_callback, void* context,
                             ReportCallback report);
Failure port_open(PortSession* session);
void port_release(PortSession* session);

// Transfers on an open session; either thread may write.
uint32_t port_read(PortSession* session, char* buffer, uint32_t max); // bytes queued, at most max
// No failure when the port took it; port_write, with the system's error
// number, when it refused the write.
Failure port_write(PortSession* session, const char* buffer, uint32_t count);
// The same on the slot's session.
inline uint32_t port_read(PortSlot& slot, char* buffer, uint32_t max) {
    return port_read(slot.port_session, buffer, max);
}
inline Failure port_write(PortSlot& slot, const char* buffer, uint32_t count) {
    return port_write(slot.port_session, buffer, count);
}
