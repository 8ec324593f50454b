#include "cli/output.h"

#include "cli/console.h"
#include "cli/json_text.h"
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

// A console is given the text as characters, whatever its code page; a pipe
// or a file is given the UTF-8 bytes.
void write_to(FILE* stream, const std::string& text) {
    const ConsoleWrite console = write_console(stream == stderr, text);
    if (console != ConsoleWrite::not_console) {
        check(console == ConsoleWrite::written);
        return;
    }
    // Messages go out at once, whole: Windows' C library buffers stderr
    // when it is a pipe, and a reader waits for each line as it comes.
    check(std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
          (stream != stderr || std::fflush(stream) == 0));
}

} // namespace

void write_out(const std::string& text) {
    write_to(stdout, text);
}

void write_err(const std::string& text) {
    write_to(stderr, text);
}

void flush_output() {
    check(std::fflush(stdout) == 0);
}

bool output_lost() {
    return lost.load();
}

void trace_on_stderr(const char* line) {
    std::string text = line;
    const bool ended = !text.empty() && text.back() == '\n';
    if (ended) {
        text.pop_back();
    }
    write_err(utf8_from_1252(text) + (ended ? "\n" : ""));
}

} // namespace cli
