// Which paths may be opened as a serial port. Opening a device can act by
// itself (opening /dev/watchdog arms a reboot timer), so a path is checked
// before it is opened, and the open descriptor is checked again afterwards,
// in case the path was swapped for another device in between.
#pragma once

#include <string>
#include <sys/types.h>

// Whether `path` (its links followed) is a character device of the tty
// family: one the kernel files under the "tty" subsystem, or a
// pseudo-terminal slave. `device` gets its device number; `what` says what
// the path is when it is not one ("a regular file", "a character device of
// the mem subsystem", ...), or is "" when it is. When it is not, errno is
// ENOTTY, or what stat() gave when the path cannot be looked at.
bool is_tty_family(const char* path, dev_t& device, std::string& what);

// Whether the open `fd` is still the terminal device `device`.
bool is_same_tty(int fd, dev_t device);
