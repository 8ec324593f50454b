// The Win32 backend of the port session: a COM port opened for overlapped
// transfers. Each transfer has its block (OVERLAPPED with its own event); the
// receive thread waits for received characters on a block of its own,
// together with a stop event that the close signals.
#include "serial/device.h"

#include "common/text.h"

#include <new>
#include <windows.h>

struct PortDevice {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE stop = nullptr; // set by the close: the receive thread must end
    bool closed = false;
    // A byte that the receive thread's wait took off the line (see
    // wait_for_byte). It is still unread for the session: the receive queue
    // counts it and the next read hands it out first. Only the receive
    // thread, which does every read, touches it.
    bool has_held = false;
    char held = 0;
};

struct PortBlock {
    OVERLAPPED overlapped;
    CRITICAL_SECTION hold; // the OVERLAPPED serves one transfer at a time
};

// The receive thread's wait. Its event is the thread's own, made when the
// thread starts and closed when it ends.
struct PortWaiter {
    PortDevice* device;
    OVERLAPPED overlapped; // the wait for events, or the read of wait_for_byte
    DWORD mask;
    bool events_cancelled; // the port cancels every wait for events (Wine, pty)
    char byte;             // where wait_for_byte's read puts its byte
};

// A receive thread outlives its session: once its session's work is done it
// waits, parked, for the next open, because starting a thread costs Wine
// several milliseconds, all of them spent before the thread can read the
// first reply after an open.
struct PortThread {
    HANDLE handle = nullptr;
    HANDLE start = nullptr; // auto-reset: a session has work for the thread
    HANDLE done = nullptr;  // manual-reset: the work has returned
    DWORD id = 0;
    ThreadMain main = nullptr;
    void* argument = nullptr;
    PortThread* next_parked = nullptr;
};

namespace {

// A wait that ends at once without a character pauses this long before the
// next, so no driver's quirk can turn the receive thread into a spin.
constexpr DWORD IDLE_RETRY_MS = 20;

// A wait that failed for another reason: pause before asking again.
WaitResult back_off(PortWaiter* waiter) {
    return WaitForSingleObject(waiter->device->stop, IDLE_RETRY_MS) == WAIT_OBJECT_0
               ? WaitResult::stopped
               : WaitResult::nothing;
}

// A wait that ends without received characters (a driver that reports an
// empty mask at once would otherwise be asked again and again) pauses too.
WaitResult judge_mask(PortWaiter* waiter) {
    return (waiter->mask & EV_RXCHAR) != 0 ? WaitResult::received : back_off(waiter);
}

// Waits for the overlapped call on the waiter's block, or for the close. On
// the close the call is cancelled and waited for, so its block is never freed
// (nor the port closed) under a call still running.
bool wait_for_block(PortWaiter* waiter, DWORD* count) {
    const HANDLE both[2] = {waiter->device->stop, waiter->overlapped.hEvent};
    const DWORD woken = WaitForMultipleObjects(2, both, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0 + 1) {
        return GetOverlappedResult(waiter->device->handle, &waiter->overlapped, count, FALSE) != 0;
    }
    const DWORD error = woken == WAIT_OBJECT_0 ? ERROR_OPERATION_ABORTED : GetLastError();
    CancelIo(waiter->device->handle);
    GetOverlappedResult(waiter->device->handle, &waiter->overlapped, count, TRUE);
    SetLastError(error);
    return false;
}

WaitResult took_byte(PortWaiter* waiter) {
    waiter->device->held = waiter->byte;
    waiter->device->has_held = true;
    return WaitResult::received;
}

// Where a port cancels every wait for events (Wine on a pseudo-terminal,
// which has no modem lines to watch), the thread instead reads one byte and
// lets that read stay pending until the byte comes: Wine completes it as soon
// as the line has data, and the port's own read time-out (interval MAXDWORD,
// total constant 1000 ms, which the session keeps as the program sets them)
// ends it after a second without any, so an idle port wakes the thread once
// a second. The byte is held in the device for the gathering's first read.
WaitResult wait_for_byte(PortWaiter* waiter) {
    const ULONGLONG started = GetTickCount64();
    DWORD got = 0;
    BOOL finished = ReadFile(waiter->device->handle, &waiter->byte, 1, &got, &waiter->overlapped);
    if (!finished && GetLastError() == ERROR_IO_PENDING) {
        finished = wait_for_block(waiter, &got);
    }
    if (finished && got == 1) {
        return took_byte(waiter);
    }
    if (WaitForSingleObject(waiter->device->stop, 0) == WAIT_OBJECT_0) {
        return WaitResult::stopped;
    }
    // Without a byte: the read time-out ran out (ERROR_TIMEOUT, or success
    // with nothing read) and the thread may ask again at once, unless the
    // read ended early.
    return GetTickCount64() - started < IDLE_RETRY_MS ? back_off(waiter) : WaitResult::nothing;
}

// The wait for EV_RXCHAR, as Windows drivers report it.
WaitResult wait_for_event(PortWaiter* waiter) {
    waiter->mask = 0;
    if (WaitCommEvent(waiter->device->handle, &waiter->mask, &waiter->overlapped)) {
        return judge_mask(waiter);
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        return back_off(waiter);
    }
    DWORD unused = 0;
    if (wait_for_block(waiter, &unused)) {
        return judge_mask(waiter);
    }
    const DWORD error = GetLastError();
    if (WaitForSingleObject(waiter->device->stop, 0) == WAIT_OBJECT_0) {
        return WaitResult::stopped;
    }
    if (error == ERROR_OPERATION_ABORTED) {
        waiter->events_cancelled = true;
        return wait_for_byte(waiter);
    }
    return back_off(waiter);
}

// Whether the port can tell its modem lines. One that cannot (Wine on a
// pseudo-terminal, which has none) cancels every wait for events, and the
// first one after an open is cancelled only once a reply has come in: the
// reply then waits for that cancellation and for the read that follows it,
// which made the first exchange after each open about 2 ms slower than the
// rest. Such a port is waited on by reading a byte from its first wait on.
bool reports_modem_lines(PortDevice* device) {
    DWORD lines = 0;
    return GetCommModemStatus(device->handle, &lines) != 0;
}

HANDLE make_event(BOOL initially_set) {
    return CreateEventA(nullptr, TRUE, initially_set, nullptr);
}

IoStart started(BOOL finished, DWORD got, uint32_t* done, uint32_t* error) {
    if (finished) {
        *done = got;
        return IoStart::done;
    }
    *error = GetLastError();
    return *error == ERROR_IO_PENDING ? IoStart::pending : IoStart::failed;
}

DWORD WINAPI thread_entry(LPVOID parameter) {
    PortThread* thread = static_cast<PortThread*>(parameter);
    for (;;) {
        WaitForSingleObject(thread->start, INFINITE);
        thread->main(thread->argument);
        SetEvent(thread->done);
    }
}

// Threads whose sessions have ended, waiting for the next; several ports
// may be open at once, each with its own.
SRWLOCK parked_lock = SRWLOCK_INIT;
PortThread* parked = nullptr;

PortThread* take_parked() {
    AcquireSRWLockExclusive(&parked_lock);
    PortThread* thread = parked;
    if (thread != nullptr) {
        parked = thread->next_parked;
    }
    ReleaseSRWLockExclusive(&parked_lock);
    return thread;
}

void discard(PortThread* thread) {
    if (thread->start != nullptr) {
        CloseHandle(thread->start);
    }
    if (thread->done != nullptr) {
        CloseHandle(thread->done);
    }
    delete thread;
}

PortThread* new_thread() {
    PortThread* thread = new (std::nothrow) PortThread;
    if (thread == nullptr) {
        return nullptr;
    }
    thread->start = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    thread->done = make_event(TRUE);
    if (thread->start == nullptr || thread->done == nullptr) {
        discard(thread);
        return nullptr;
    }
    thread->handle = CreateThread(nullptr, 0, thread_entry, thread, 0, &thread->id);
    if (thread->handle == nullptr) {
        discard(thread);
        return nullptr;
    }
    return thread;
}

void park(PortThread* thread) {
    AcquireSRWLockExclusive(&parked_lock);
    thread->next_parked = parked;
    parked = thread;
    ReleaseSRWLockExclusive(&parked_lock);
}

// One thread is made as the program starts, so that the first open finds one
// parked too: the program's own start-up hides what making it costs.
[[maybe_unused]] const bool parked_at_start = [] {
    PortThread* thread = new_thread();
    if (thread != nullptr) {
        park(thread);
    }
    return thread != nullptr;
}();

} // namespace

PortBlock* block_create() {
    PortBlock* block = new (std::nothrow) PortBlock;
    if (block == nullptr) {
        return nullptr;
    }
    ZeroMemory(&block->overlapped, sizeof block->overlapped);
    block->overlapped.hEvent = make_event(FALSE);
    if (block->overlapped.hEvent == nullptr) {
        delete block;
        return nullptr;
    }
    InitializeCriticalSection(&block->hold);
    return block;
}

void block_release(PortBlock* block) {
    if (block != nullptr) {
        DeleteCriticalSection(&block->hold);
        CloseHandle(block->overlapped.hEvent);
        delete block;
    }
}

void block_hold(PortBlock* block) {
    EnterCriticalSection(&block->hold);
}

void block_let_go(PortBlock* block) {
    LeaveCriticalSection(&block->hold);
}

PortDevice* device_open(uint8_t port, const char* /*path*/, PortPathLookup, uint32_t* error) {
    char name[16];
    format_text(name, sizeof name, "\\\\.\\COM%d", static_cast<int>(port));
    const HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return nullptr;
    }
    *error = 0;
    PortDevice* device = new (std::nothrow) PortDevice;
    const HANDLE stop = device != nullptr ? make_event(FALSE) : nullptr;
    if (stop == nullptr) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        delete device;
        CloseHandle(handle);
        return nullptr;
    }
    device->handle = handle;
    device->stop = stop;
    return device;
}

bool device_watch_rx(PortDevice* device) {
    return SetCommMask(device->handle, EV_RXCHAR) != 0;
}

void device_stop_watch(PortDevice* device) {
    SetEvent(device->stop);
    SetCommMask(device->handle, 0); // ends a wait in progress at once
}

bool device_set_queues(PortDevice* device, uint32_t receive, uint32_t send) {
    return SetupComm(device->handle, receive, send) != 0;
}

bool device_purge(PortDevice* device) {
    return PurgeComm(device->handle,
                     PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) != 0;
}

bool device_set_timeouts(PortDevice* device, const PortTimeouts& t) {
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = t.read_interval;
    timeouts.ReadTotalTimeoutMultiplier = t.read_multiplier;
    timeouts.ReadTotalTimeoutConstant = t.read_constant;
    timeouts.WriteTotalTimeoutMultiplier = t.write_multiplier;
    timeouts.WriteTotalTimeoutConstant = t.write_constant;
    return SetCommTimeouts(device->handle, &timeouts) != 0;
}

bool device_configure(PortDevice* device, const LineSettings& line) {
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    // Some drivers cannot report their settings; the fields set below are
    // then applied over a zeroed record.
    GetCommState(device->handle, &dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = line.speed;
    dcb.ByteSize = line.byte_size;
    dcb.Parity = line.parity;
    dcb.StopBits = line.stop_bits;
    const bool dsr = (line.flow_control & FLOW_DTR_DSR) != 0;
    dcb.fOutxDsrFlow = dsr ? 1 : 0;
    dcb.fDtrControl = dsr ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    const bool cts = (line.flow_control & FLOW_RTS_CTS) != 0;
    dcb.fOutxCtsFlow = cts ? 1 : 0;
    dcb.fRtsControl = cts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    const bool xon = (line.flow_control & FLOW_XON_XOFF) != 0;
    dcb.fOutX = xon ? 1 : 0;
    dcb.fInX = xon ? 1 : 0;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 100;
    dcb.XoffLim = 100;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    return SetCommState(device->handle, &dcb) != 0;
}

// Wine on a pseudo-terminal fails both escapes (no modem lines there); the
// callers go on without DTR, as a modem that ignores it would.
bool device_set_dtr(PortDevice* device, bool on) {
    return EscapeCommFunction(device->handle, on ? SETDTR : CLRDTR) != 0;
}

uint32_t device_clear_errors(PortDevice* device, uint32_t* queued) {
    DWORD errors = 0;
    COMSTAT status;
    ZeroMemory(&status, sizeof status);
    if (!ClearCommError(device->handle, &errors, &status)) {
        errors = 0;
        status.cbInQue = 0;
    }
    if (queued != nullptr) { // only the receive thread's reads ask, so the held byte is theirs
        *queued = status.cbInQue + (device->has_held ? 1 : 0);
    }
    return errors;
}

IoStart device_read(PortDevice* device, PortBlock* block, char* buffer, uint32_t count,
                    uint32_t* done, uint32_t* error) {
    if (device->has_held && count > 0) { // the byte the wait took comes first, on its own
        device->has_held = false;
        buffer[0] = device->held;
        *done = 1;
        return IoStart::done;
    }
    DWORD got = 0;
    const BOOL finished = ReadFile(device->handle, buffer, count, &got, &block->overlapped);
    return started(finished, got, done, error);
}

IoStart device_write(PortDevice* device, PortBlock* block, const char* buffer, uint32_t count,
                     uint32_t* done, uint32_t* error) {
    DWORD put = 0;
    const BOOL finished = WriteFile(device->handle, buffer, count, &put, &block->overlapped);
    return started(finished, put, done, error);
}

bool device_finish(PortDevice* device, PortBlock* block, uint32_t* done, uint32_t* error) {
    for (;;) {
        DWORD count = 0;
        if (GetOverlappedResult(device->handle, &block->overlapped, &count, TRUE)) {
            *done = count;
            return true;
        }
        *error = GetLastError();
        if (*error != ERROR_IO_INCOMPLETE) {
            return false;
        }
    }
}

bool device_close(PortDevice* device, uint32_t* error) {
    if (device->closed) {
        return true;
    }
    device->closed = true;
    const bool ok = CloseHandle(device->handle) != 0;
    *error = ok ? 0 : GetLastError();
    CloseHandle(device->stop);
    return ok;
}

uintptr_t device_raw_handle(const PortDevice* device) {
    return reinterpret_cast<uintptr_t>(device->handle);
}

void device_release(PortDevice* device) {
    uint32_t error = 0;
    device_close(device, &error);
    delete device;
}

PortWaiter* waiter_create(PortDevice* device) {
    PortWaiter* waiter = new (std::nothrow) PortWaiter;
    if (waiter == nullptr) {
        return nullptr;
    }
    ZeroMemory(&waiter->overlapped, sizeof waiter->overlapped);
    waiter->overlapped.hEvent = make_event(TRUE);
    if (waiter->overlapped.hEvent == nullptr) {
        delete waiter;
        return nullptr;
    }
    waiter->device = device;
    waiter->mask = 0;
    waiter->events_cancelled = !reports_modem_lines(device);
    waiter->byte = 0;
    return waiter;
}

WaitResult waiter_wait(PortWaiter* waiter) {
    return waiter->events_cancelled ? wait_for_byte(waiter) : wait_for_event(waiter);
}

void waiter_release(PortWaiter* waiter) {
    CloseHandle(waiter->overlapped.hEvent);
    delete waiter;
}

PortThread* thread_start(ThreadMain main, void* argument, std::atomic<uint32_t>* id) {
    PortThread* thread = take_parked();
    if (thread == nullptr) {
        thread = new_thread();
    }
    if (thread == nullptr) {
        return nullptr;
    }
    thread->main = main;
    thread->argument = argument;
    ResetEvent(thread->done);
    // Stored before the work can run (and end).
    id->store(thread->id);
    SetEvent(thread->start);
    return thread;
}

// The receive thread may be opening a warning box owned by the main dialog,
// which needs this (the dialog's) thread to answer sent messages; so the wait
// keeps handling them until the thread's work has ended.
void thread_wait(PortThread* thread) {
    if (thread == nullptr) {
        return;
    }
    for (;;) {
        const DWORD woken =
            MsgWaitForMultipleObjects(1, &thread->done, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE); // delivers sent messages
            continue;
        }
        if (woken != WAIT_OBJECT_0) {
            WaitForSingleObject(thread->done, INFINITE);
        }
        return;
    }
}

// Parks the thread for the next session, once its work has ended.
void thread_release(PortThread* thread) {
    if (thread != nullptr) {
        thread_wait(thread);
        park(thread);
    }
}
