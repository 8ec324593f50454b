#include "serial/com_ports.h"

#include "common/text.h"

#include <algorithm>

namespace serial {

int com_port_number(std::string_view name) {
    constexpr std::string_view DEVICE_PREFIX = "\\\\.\\";
    if (name.substr(0, DEVICE_PREFIX.size()) == DEVICE_PREFIX) {
        name.remove_prefix(DEVICE_PREFIX.size());
    }
    if (name.size() < 4 || ascii_upper(name[0]) != 'C' || ascii_upper(name[1]) != 'O' ||
        ascii_upper(name[2]) != 'M' || name[3] == '0') {
        return 0;
    }
    int number = 0;
    for (char c : name.substr(3)) {
        if (c < '0' || c > '9') {
            return 0;
        }
        number = number * 10 + (c - '0');
        if (number > LAST_COM_PORT) {
            return 0;
        }
    }
    return number;
}

std::vector<int> com_ports_to_search(const std::vector<std::string>& listed) {
    std::vector<int> ports;
    for (const std::string& name : listed) {
        if (int number = com_port_number(name)) {
            ports.push_back(number);
        }
    }
    for (int number = 1; number <= ALWAYS_SEARCHED_PORTS; ++number) {
        ports.push_back(number);
    }
    std::sort(ports.begin(), ports.end());
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

} // namespace serial
