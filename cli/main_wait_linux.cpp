// The main thread's wait on Linux: poll() on an eventfd that the other
// threads signal and on a signalfd for Ctrl-C and termination requests.
// Those signals are blocked in every thread, so they arrive only here, as
// readable data, never in the middle of a port operation.
#include "cli/main_wait.h"

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <utility>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace cli {
namespace {

int wake_fd = -1;
int signal_fd = -1;
int kept_signal = 0; // the main thread's only
std::mutex events_mutex;

} // namespace

bool prepare_main_wait() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return false;
    }
    // A reader that goes away (tarvelle-cli ... | head) makes writes fail
    // instead: the command then ends cleanly, its port put back.
    signal(SIGPIPE, SIG_IGN);
    wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    signal_fd = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    return wake_fd >= 0 && signal_fd >= 0;
}

void wake_main_thread() {
    const uint64_t one = 1;
    // Fails only when the counter would overflow, far beyond any queue here.
    [[maybe_unused]] const ssize_t written = write(wake_fd, &one, sizeof one);
}

Woken wait_main_thread(int milliseconds, int* signal_number) {
    return wait_main_thread_or(-1, milliseconds, signal_number);
}

Woken wait_main_thread_or(int fd, int milliseconds, int* signal_number) {
    if (kept_signal != 0) {
        *signal_number = std::exchange(kept_signal, 0);
        return Woken::signal;
    }
    // poll() passes over an entry whose descriptor is negative.
    pollfd entries[3] = {{wake_fd, POLLIN, 0}, {signal_fd, POLLIN, 0}, {fd, POLLIN, 0}};
    int ready;
    do {
        ready = poll(entries, 3, milliseconds);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        return Woken::timeout;
    }
    if (entries[1].revents != 0) {
        signalfd_siginfo info{};
        if (read(signal_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            *signal_number = static_cast<int>(info.ssi_signo);
            return Woken::signal;
        }
    }
    if (entries[0].revents == 0) {
        return Woken::file;
    }
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = read(wake_fd, &count, sizeof count);
    return Woken::events;
}

void keep_signal(int signal_number) {
    kept_signal = signal_number;
}

bool take_signal(int* signal_number) {
    if (kept_signal != 0) {
        *signal_number = std::exchange(kept_signal, 0);
        return true;
    }
    signalfd_siginfo info{};
    if (read(signal_fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        return false; // nothing there: the descriptor does not block
    }
    *signal_number = static_cast<int>(info.ssi_signo);
    return true;
}

void lock_events() {
    events_mutex.lock();
}

void unlock_events() {
    events_mutex.unlock();
}

uintptr_t current_thread() {
    return static_cast<uintptr_t>(pthread_self());
}

} // namespace cli
