// The steps of claiming a port on Linux, apart so that one look for other
// users serves all the ports of a search, and so that a step of another
// kind (borrowing a port over its UUCP lock) can stand between them:
//
//   look_at_port       an O_PATH descriptor of what the path names, and the
//                      check that it is a tty: no open of the device yet,
//                      as opening some devices acts (a watchdog arms a reboot)
//   find_port_users    one look through /proc for all the ports (port_users.h)
//   refuse_port_in_use another holder, or a look cut short (port_users.h)
//   take_uucp_lock     the lock named from what the descriptor names
//   PortNode::reopen   the device itself, opened through the descriptor
//
// After look_at_port no step looks the path up again: a link flipped to
// another device meanwhile changes nothing.
#pragma once

#include "cli/port_claim.h"

#include <string>
#include <sys/types.h>

namespace cli {

class PortNode {
  public:
    PortNode() = default;
    PortNode(PortNode&& other) noexcept;
    PortNode& operator=(PortNode&& other) noexcept;
    ~PortNode();

    std::string port;        // as it was named
    int fd = -1;             // O_PATH descriptor of the device
    dev_t device = 0;        // its device number
    std::string device_path; // what the descriptor names, such as /dev/ttyACM0

    // The name through which the device itself is opened: /proc/self/fd/N.
    // An open there reaches the very inode of the descriptor, whatever the
    // path names now.
    std::string reopen_path() const;
};

// Throws Failure(EXIT_PORT) when `port` names nothing, or no tty.
PortNode look_at_port(const std::string& port);

// Takes the UUCP lock of the device at `node`, named after what its
// descriptor names (LCK..ttyACM0, LCK..pts_3): `ours` gets what was written
// into it. Gives the lock file; "" when this process holds it already.
// Throws Failure(EXIT_PORT) when the port is locked or no lock can be made.
std::string take_uucp_lock(const PortNode& node, LockFileSeen& ours);

// Removes the lock only while it is the one we made: after a takeover by
// another program (ours judged stale, say) it is theirs.
void release_uucp_lock(const std::string& file, const LockFileSeen& ours);

} // namespace cli
