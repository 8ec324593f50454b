// A device backend for the session logic whose writes always go pending and
// whose modem answers the first command while that command is still being
// written, as a quick modem on a slow line does. What reached the modem is
// kept whole, in the order the bytes went out.
#pragma once

#include <chrono>
#include <string>

namespace stalling {

void reset(const std::string& answer); // the modem's answer to the first command
// Whether the modem sees DTR on now.
bool dtr_on();
// Whether a read asked for more bytes than the line held.
bool read_past_queue();
// Until `count` bytes have reached the modem; gives them.
std::string wait_received(size_t count, std::chrono::milliseconds safety);

} // namespace stalling
