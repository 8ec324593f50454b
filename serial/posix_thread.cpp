// The receive thread on posix: a std::thread. Shared by the posix device and
// by test backends that stand in for it, so they run the thread as it runs.
#include "serial/device.h"

#include <atomic>
#include <new>
#include <system_error>
#include <thread>

struct PortThread {
    std::thread thread;
};

namespace {

void thread_entry(ThreadMain main, void* argument) {
    main(argument);
}

} // namespace

PortThread* thread_start(ThreadMain main, void* argument, std::atomic<uint32_t>* id) {
    // pthread ids are not 32-bit numbers: the session counts its own.
    static std::atomic<uint32_t> next_id{1};
    uint32_t number = next_id.fetch_add(1);
    if (number == 0) {
        number = next_id.fetch_add(1);
    }
    id->store(number);
    PortThread* thread = new (std::nothrow) PortThread;
    if (thread != nullptr) {
        try {
            thread->thread = std::thread(thread_entry, main, argument);
            return thread;
        } catch (const std::system_error&) {
            delete thread;
        }
    }
    id->store(0);
    return nullptr;
}

void thread_wait(PortThread* thread) {
    if (thread != nullptr && thread->thread.joinable()) {
        thread->thread.join();
    }
}

void thread_release(PortThread* thread) {
    thread_wait(thread);
    delete thread;
}
