// Which devices a search probes. Other serial devices share the machine with
// the modem (radio sticks, GPS receivers, microcontroller boards, security
// keys), and AT commands written to them can stop them working; so a search
// probes only a device whose USB interface says it speaks AT commands.
#pragma once

#include <string>

namespace cli {

// Why a search leaves the tty whose kernel name is `kernel_name` (ttyACM0)
// unprobed, with how to include it; "" when it declares AT commands. The
// facts are read from `sys_root`/sys/class/tty/<name>/device ("" for the
// system's own sysfs).
std::string search_skip_reason(const std::string& sys_root, const std::string& kernel_name);

} // namespace cli
