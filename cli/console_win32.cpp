#include "cli/console.h"

#include "cli/json_text.h"

#include <algorithm>
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

ConsoleWrite write_console(bool to_stderr, const std::string& text) {
    const HANDLE console = GetStdHandle(to_stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (console == nullptr || console == INVALID_HANDLE_VALUE ||
        GetConsoleMode(console, &mode) == 0) {
        return ConsoleWrite::not_console;
    }
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "a Windows wide character is UTF-16");
    const std::u16string wide = utf16_from_utf8(text);
    // In pieces: older consoles refuse a single large write. A piece never
    // ends between the two halves of a surrogate pair.
    constexpr size_t PIECE = 4096;
    for (size_t at = 0; at < wide.size();) {
        size_t count = std::min(PIECE, wide.size() - at);
        if (at + count < wide.size() && wide[at + count - 1] >= 0xD800 &&
            wide[at + count - 1] <= 0xDBFF) {
            --count;
        }
        DWORD written = 0;
        if (WriteConsoleW(console, reinterpret_cast<const wchar_t*>(wide.data() + at),
                          static_cast<DWORD>(count), &written, nullptr) == 0 ||
            written == 0) {
            return ConsoleWrite::failed;
        }
        at += written;
    }
    return ConsoleWrite::written;
}

std::tm local_time(std::time_t seconds) {
    std::tm local{};
    localtime_s(&local, &seconds);
    return local;
}

} // namespace cli
