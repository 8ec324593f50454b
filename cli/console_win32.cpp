#include "cli/console.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

namespace cli {

// The scan's progress line redraws itself with VT escapes. A console takes
// them only once asked to; one that refuses (before Windows 10) would print
// them as they are, so it gets no progress line.
bool stderr_is_terminal() {
    if (_isatty(_fileno(stderr)) == 0) {
        return false;
    }
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(console, &mode) != 0 &&
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::tm local_time(std::time_t seconds) {
    std::tm local{};
    localtime_s(&local, &seconds);
    return local;
}

} // namespace cli
