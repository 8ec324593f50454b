// The ports a command tries when none is named.
#pragma once

#include <string>
#include <vector>

namespace cli {

// USB modems by their stable names (/dev/serial/by-id/*, each device once),
// then /dev/ttyACM* and /dev/ttyUSB* not found that way. Serial ports
// (/dev/ttyS*) are left out: consoles and UPS lines live there.
std::vector<std::string> search_ports();

} // namespace cli
