#include "dialog/dialog_seam.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<DialogSeam*> installed{nullptr};
}

DialogSeam& dialog_seam() {
    DialogSeam* seam = installed.load(std::memory_order_acquire);
    if (seam == nullptr) {
        std::abort(); // a core call before the shell is up is a programming error
    }
    return *seam;
}

void install_dialog_seam(DialogSeam* seam) {
    installed.store(seam, std::memory_order_release);
    install_front_end(seam);
}
