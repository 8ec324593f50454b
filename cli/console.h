// The little the portable commands ask of the console and the clock, so that
// only this file's implementation differs between platforms.
#pragma once

#include <ctime>
#include <string>

namespace cli {

// Whether a person is likely watching stderr (the scan's progress line).
bool stderr_is_terminal();

enum class ConsoleWrite { not_console, written, failed };

// Writes UTF-8 `text` to stdout's (or stderr's) console as UTF-16, which a
// Windows console shows whatever its code page. A stream that is no console
// (a pipe, a file, any stream on Linux) is left to take the UTF-8 bytes.
ConsoleWrite write_console(bool to_stderr, const std::string& text);

// `seconds` as local time (for --verbose's time stamps).
std::tm local_time(std::time_t seconds);

} // namespace cli
