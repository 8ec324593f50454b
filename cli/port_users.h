// Whether another program has a port open. Many serial programs take no
// flock() and no TIOCEXCL, and a UUCP lock only where they chose to; an open
// descriptor is the one sign they all leave, so it is looked for under /proc
// as fuser does.
#pragma once

#include <string>

namespace cli {

// Throws Failure(EXIT_PORT, "<port>: in use by process 1234 (name)"), the
// process in its holder, when another process has the device at `port`
// open. When some processes' open files cannot be read (as a user other
// than root, those of other users), says once on stderr that the check was
// incomplete.
void refuse_port_in_use(const std::string& port);

} // namespace cli
