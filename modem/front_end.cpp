#include "modem/front_end.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<FrontEnd*> installed{nullptr};
}

FrontEnd& front_end() {
    FrontEnd* front = installed.load(std::memory_order_acquire);
    if (front == nullptr) {
        std::abort(); // a conversation before a front end is up is a programming error
    }
    return *front;
}

void install_front_end(FrontEnd* front) {
    installed.store(front, std::memory_order_release);
}
