// The main thread's wait on Windows: WaitForMultipleObjects on an event that
// the other threads set and on one that Ctrl-C sets. The console's control
// handler runs on a thread of its own, so it only sets that event; the main
// thread then closes the port and ends the command as on Linux.
#include "cli/main_wait.h"

#include <csignal>
#include <windows.h>

namespace cli {
namespace {

HANDLE wake_event = nullptr;  // auto-reset: one wait taken per wake-up
HANDLE break_event = nullptr; // manual-reset: Ctrl-C stays seen
volatile LONG break_signal = 0;
SRWLOCK events_lock = SRWLOCK_INIT;

BOOL WINAPI on_console_control(DWORD kind) {
    // Ctrl-C and Ctrl-Break are an interruption; closing the console, a
    // log-off or a shut-down are a request to end.
    const LONG number = kind == CTRL_C_EVENT || kind == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    InterlockedCompareExchange(&break_signal, number, 0);
    SetEvent(break_event);
    return TRUE;
}

} // namespace

bool prepare_main_wait() {
    wake_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    break_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return wake_event != nullptr && break_event != nullptr &&
           SetConsoleCtrlHandler(on_console_control, TRUE) != 0;
}

// Ctrl-C stays seen: its event is never reset.
void keep_signal(int) {}

void wake_main_thread() {
    SetEvent(wake_event);
}

Woken wait_main_thread(int milliseconds, int* signal_number) {
    // Ctrl-C first: it wins over events that are waiting at the same time.
    const HANDLE handles[2] = {break_event, wake_event};
    const DWORD limit = milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
    switch (WaitForMultipleObjects(2, handles, FALSE, limit)) {
    case WAIT_OBJECT_0:
        *signal_number = static_cast<int>(break_signal);
        return Woken::signal;
    case WAIT_OBJECT_0 + 1:
        return Woken::events;
    default:
        return Woken::timeout;
    }
}

void lock_events() {
    AcquireSRWLockExclusive(&events_lock);
}

void unlock_events() {
    ReleaseSRWLockExclusive(&events_lock);
}

uintptr_t current_thread() {
    return GetCurrentThreadId();
}

} // namespace cli
