// The main thread's one blocking wait, the platform's part of the command
// line's event loop: woken by wake_main_thread from any thread, by its time
// limit, or by Ctrl-C (and the other requests to terminate).
#pragma once

#include <cstdint>

namespace cli {

// Before any other thread starts, so that they leave the signals to it.
bool prepare_main_wait();

enum class Woken { events, timeout, signal, file };

// Waits at most `milliseconds` (-1: no limit). On Woken::signal,
// `signal_number` tells which.
Woken wait_main_thread(int milliseconds, int* signal_number);

#ifndef _WIN32
// The same wait, woken also when the descriptor `fd` has data (Woken::file).
Woken wait_main_thread_or(int fd, int milliseconds, int* signal_number);

// Without waiting: true, with `signal_number`, when Ctrl-C or a termination
// request has come, for work on the main thread that does not wait but may
// take long.
bool take_signal(int* signal_number);
#endif

// On the main thread: a signal that a wait gave back, taken again by the
// next wait (and take_signal), for a caller that could not end the command
// at once itself.
void keep_signal(int signal_number);

// Callable from any thread; a wake-up that comes before the wait is kept.
void wake_main_thread();

// The lock of the event queue that the other threads fill, and the calling
// thread's identity. They are the platform's too: the Windows build's
// toolchain (win32 threads) has neither std::mutex nor std::thread.
void lock_events();
void unlock_events();
uintptr_t current_thread();

} // namespace cli
