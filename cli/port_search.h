// The ports a command tries when none is named.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct SearchedPort {
    std::string path;
    std::string skipped; // why the search leaves it unprobed; "" to probe it
};

// USB modems by their stable names (/dev/serial/by-id/*, each device once),
// then /dev/ttyACM* and /dev/ttyUSB* not found that way. Serial ports
// (/dev/ttyS*) are left out: consoles and UPS lines live there. Only devices
// that declare AT commands are to be probed, unless `probe_all`.
std::vector<SearchedPort> search_ports(bool probe_all);

} // namespace cli
