// The platform's part of a port session: the short list of hooks that
// win32_device.cpp and linux_device.cpp each implement. The session logic in
// port_session.cpp, transfers.cpp and receive_thread.cpp calls only these.
#pragma once

#include <atomic>
#include <cstdint>

#include "serial/port_session.h"

// Line settings in the Win32 encoding (parity 0 none, 1 odd, 2 even; stop
// bits 0 one, 1 one and a half, 2 two).
struct LineSettings {
    uint32_t speed;
    uint8_t byte_size;
    uint8_t parity;
    uint8_t stop_bits;
    uint8_t flow_control; // FLOW_* bits
};

// Deadlines in milliseconds, as a COM port's time-out record holds them.
struct PortTimeouts {
    uint32_t read_interval;
    uint32_t read_multiplier;
    uint32_t read_constant;
    uint32_t write_multiplier;
    uint32_t write_constant;
};

// How a transfer started: finished at once, still running (finish it with
// device_finish), or refused at once with a system error code.
enum class IoStart { done, pending, failed };

// What a receive thread's wait saw.
enum class WaitResult {
    received, // characters are queued
    nothing,  // the wait returned without characters (wait again)
    stopped,  // the close asked the thread to stop
};

// Transfer blocks (one for reads, one for writes); nullptr when the block's
// event cannot be made.
PortBlock* block_create();
void block_release(PortBlock* block);
// A block carries one transfer at a time: whoever starts a transfer on it
// holds it until the transfer is finished.
void block_hold(PortBlock* block);
void block_let_go(PortBlock* block);

// The port: the device `path`, or COM port `port` when the path is empty,
// which a posix system finds with `lookup` (null: /dev/ttyS<port-1>).
// nullptr when the port is absent or in use, with the system's reason in
// `error`: on posix an errno value (ENOENT no such device, EACCES no
// permission, EWOULDBLOCK another program holds the port, ENOTTY not a
// terminal), on Windows GetLastError's.
PortDevice* device_open(uint8_t port, const char* path, PortPathLookup lookup, uint32_t* error);
bool device_watch_rx(PortDevice* device);   // report received characters to the wait
void device_stop_watch(PortDevice* device); // wake the receive thread's wait for good
bool device_set_queues(PortDevice* device, uint32_t receive, uint32_t send);
bool device_purge(PortDevice* device); // abort transfers and empty both queues
bool device_set_timeouts(PortDevice* device, const PortTimeouts& timeouts);
bool device_configure(PortDevice* device, const LineSettings& line);
bool device_set_dtr(PortDevice* device, bool on);
// Clears the port's error condition; gives its error bits and, when asked,
// the number of received bytes not yet read.
uint32_t device_clear_errors(PortDevice* device, uint32_t* queued);
IoStart device_read(PortDevice* device, PortBlock* block, char* buffer, uint32_t count,
                    uint32_t* done, uint32_t* error);
IoStart device_write(PortDevice* device, PortBlock* block, const char* buffer, uint32_t count,
                     uint32_t* done, uint32_t* error);
// Waits for a pending transfer on `block`; false with the system error on failure.
bool device_finish(PortDevice* device, PortBlock* block, uint32_t* done, uint32_t* error);
// Closes the port; false with the system error on failure. The object stays
// until device_release, so a failed close can still be reported.
bool device_close(PortDevice* device, uint32_t* error);
uintptr_t device_raw_handle(const PortDevice* device); // for the failure text
void device_release(PortDevice* device);

// The receive thread's own wait on the port, made and released by that thread.
struct PortWaiter;
PortWaiter* waiter_create(PortDevice* device); // nullptr when its event cannot be made
WaitResult waiter_wait(PortWaiter* waiter);
void waiter_release(PortWaiter* waiter);

// The receive thread. thread_start stores the thread's id in `id` before the
// thread can run, so a thread that ends at once never leaves a stale id.
using ThreadMain = unsigned (*)(void* argument);
PortThread* thread_start(ThreadMain main, void* argument, std::atomic<uint32_t>* id);
void thread_wait(PortThread* thread); // returns once the thread has ended
void thread_release(PortThread* thread);
