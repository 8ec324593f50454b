// The COM ports Windows lists: each serial driver records its port's name as
// a value of HARDWARE\DEVICEMAP\SERIALCOMM (Wine does the same for the ports
// of its registry and the devices it found at the session's start).
#include "serial/com_ports.h"

#include <windows.h>

namespace serial {

std::vector<std::string> system_com_port_names() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        char value_name[256];
        DWORD name_size = sizeof value_name;
        BYTE data[64];
        DWORD data_size = sizeof data - 1;
        DWORD type = 0;
        LONG result =
            RegEnumValueA(key, index, value_name, &name_size, nullptr, &type, data, &data_size);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        // A value too long for a COM name, or of another type, names no port we can open.
        if (result == ERROR_SUCCESS && type == REG_SZ) {
            data[data_size] = '\0';
            names.emplace_back(reinterpret_cast<const char*>(data));
        }
    }
    RegCloseKey(key);
    return names;
}

} // namespace serial
