// The device's facts come from sysfs: /sys/class/tty/ttyACM0/device is the
// USB interface of a CDC-ACM port (bInterfaceProtocol, and a driver link to
// .../drivers/cdc_acm); for a USB-serial adapter it is the adapter's port,
// whose driver lives on the usb-serial bus (.../bus/usb-serial/drivers/ftdi_sio).
#include "cli/port_policy.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace cli {
namespace {

const char* const INCLUDE_HINT = ": name it with --port, or use --probe-all";

// The target of the link at `path`, "" when it is none.
std::string link_target(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
}

std::string last_part(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// A sysfs number such as bInterfaceProtocol, written in hexadecimal ("01");
// -1 when the file is missing or holds something else.
long hex_attribute(const std::string& path) {
    FILE* in = std::fopen(path.c_str(), "r");
    if (in == nullptr) {
        return -1;
    }
    char text[16] = "";
    const bool read = std::fgets(text, sizeof text, in) != nullptr;
    std::fclose(in);
    char* end = nullptr;
    const long value = read ? std::strtol(text, &end, 16) : -1;
    return read && end != text && (*end == '\n' || *end == '\0') ? value : -1;
}

// The adapter drivers the kernel puts on the usb-serial bus: ftdi_sio,
// cp210x, pl2303, ch341 and many more, found by where their link points.
bool usb_serial_driver(const std::string& device, const std::string& driver_link) {
    return driver_link.find("/usb-serial/drivers/") != std::string::npos ||
           last_part(link_target(device + "/subsystem")) == "usb-serial";
}

// The CDC class's AT command sets: 1 is V.250, the one data modems use;
// 2 to 6 are its variants for other kinds of line. 0 is none, 0xFF the
// vendor's own.
bool at_protocol(long protocol) {
    return protocol >= 1 && protocol <= 6;
}

} // namespace

std::string search_skip_reason(const std::string& sys_root, const std::string& kernel_name) {
    char real[PATH_MAX];
    const std::string link = sys_root + "/sys/class/tty/" + kernel_name + "/device";
    if (realpath(link.c_str(), real) == nullptr) {
        return std::string("an unknown device (no USB interface in sysfs)") + INCLUDE_HINT;
    }
    const std::string device = real;
    const std::string driver_link = link_target(device + "/driver");
    const std::string driver = last_part(driver_link);
    if (usb_serial_driver(device, driver_link)) {
        return "a USB-serial adapter (" + driver + ")" + INCLUDE_HINT;
    }
    if (driver == "cdc_acm") {
        const long protocol = hex_attribute(device + "/bInterfaceProtocol");
        if (at_protocol(protocol)) {
            return "";
        }
        return "not an AT device (cdc_acm, " +
               (protocol < 0 ? std::string("no protocol given")
                             : "protocol " + std::to_string(protocol)) +
               ")" + INCLUDE_HINT;
    }
    return "an unknown device (" +
           (driver.empty() ? std::string("no driver") : "driver " + driver) + ")" + INCLUDE_HINT;
}

} // namespace cli
