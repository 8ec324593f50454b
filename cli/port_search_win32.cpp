// The ports a command tries on Windows when none is named: those the system
// lists and COM1 to COM9, each kept only when it exists, as on Linux the
// search covers only the devices that are there. Each one found is
// probed: the USB interface facts a Linux search goes by are not read here.
#include "cli/port_search.h"

#include "serial/com_ports.h"

#include <windows.h>

namespace cli {
namespace {

// A port that does not exist fails to open with "file not found"; any other
// outcome (open, or held by another program) means it is there.
bool port_exists(int number) {
    const std::string device = "\\\\.\\COM" + std::to_string(number);
    const HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return true;
    }
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

} // namespace

std::vector<SearchedPort> search_ports(bool) {
    std::vector<SearchedPort> ports;
    for (int number : serial::com_ports_to_search(serial::system_com_port_names())) {
        if (port_exists(number)) {
            ports.push_back({"COM" + std::to_string(number), ""});
        }
    }
    return ports;
}

} // namespace cli
