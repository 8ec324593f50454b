#include "cli/output.h"

#include "cli/main_wait.h"

#include <atomic>
#include <cstdio>

namespace cli {
namespace {

std::atomic<bool> lost{false};

void check(bool written) {
    if (!written && !lost.exchange(true)) {
        wake_main_thread(); // the main thread ends the command
    }
}

} // namespace

void write_out(const std::string& text) {
    check(std::fwrite(text.data(), 1, text.size(), stdout) == text.size());
}

void write_err(const std::string& text) {
    check(std::fwrite(text.data(), 1, text.size(), stderr) == text.size());
}

void flush_output() {
    check(std::fflush(stdout) == 0);
}

bool output_lost() {
    return lost.load();
}

} // namespace cli
