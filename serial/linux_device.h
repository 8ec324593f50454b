// Which device stands for COM port n on a posix system. The default is
// /dev/ttyS<n-1>; a test (or a run script's wrapper) puts its own lookup in
// place, for example one that names a simulated modem's pseudo-terminal.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the device path for COM port `port` into `path` (`capacity` bytes).
using PortPathLookup = void (*)(uint8_t port, char* path, size_t capacity);

// Replaces the lookup; nullptr restores the default. Gives the old one.
PortPathLookup set_port_path_lookup(PortPathLookup lookup);
