// The little the portable commands ask of the console and the clock, so that
// only this file's implementation differs between platforms.
#pragma once

#include <ctime>

namespace cli {

// Whether a person is likely watching stderr (the scan's progress line).
bool stderr_is_terminal();

// `seconds` as local time (for --verbose's time stamps).
std::tm local_time(std::time_t seconds);

} // namespace cli
