// COM port names as a Windows user types them, and the ports a search tries
// when no port is named.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace serial {

// A port session keeps its COM number in one byte: COM256 would open COM0
// and COM259 would open COM3, so higher numbers are refused, not wrapped.
constexpr int LAST_COM_PORT = 255;
// Under Wine a link swapped in after the session started may be missing from
// the system's list, so a search always tries the first nine ports too.
constexpr int ALWAYS_SEARCHED_PORTS = 9;

// The number of "COM3", "com3" or "\\.\COM3"; 0 for any other text,
// including COM0, numbers past LAST_COM_PORT and leading zeros ("COM03"),
// which Windows does not take as the same port.
int com_port_number(std::string_view name);

// The ports a search tries: every COM port in `listed` (names as the system
// lists them; others are passed over) and COM1 to COM9, in ascending order,
// each once.
std::vector<int> com_ports_to_search(const std::vector<std::string>& listed);

// The names of the COM ports the system lists (Windows only: the values of
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM). Empty when it lists none.
std::vector<std::string> system_com_port_names();

} // namespace serial
