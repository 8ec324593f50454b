// Whether other programs have ports open. Many serial programs take no
// flock() and no TIOCEXCL, and a UUCP lock only where they chose to; an open
// descriptor is the one sign they all leave, so it is looked for under /proc
// as fuser does: once for all the ports a command may claim.
//
// The look has bounds, since any user can hold a million descriptors to
// slow it: a signal ends it at once (Interrupted), and it stops when its
// time runs out. A look cut short cannot tell that a port is free, and a
// claim then refuses the port (see refuse_port_in_use).
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace cli {

struct PortSearch; // cli/port_claim.h

struct PortHolder {
    long pid = 0;
    std::string name; // as the process named itself: any bytes at all
};

struct PortUsers {
    std::map<dev_t, PortHolder> holders; // the first other holder of each device
    std::string unfinished;              // why the look was cut short; "" when it saw every process
    int unreadable = 0;                  // processes whose open files could not be read
    bool no_proc = false;
    bool hidden = false; // /proc shows only our own processes (hidepid)
};

// How long the look may work for each device it looks for, in processor
// time of its own: a machine busy with other work (a build, an emulator)
// slows the look without making it cut off a normal walk. However starved,
// it stops after LOOK_WALL_FACTOR times that in real time.
constexpr int LOOK_MILLISECONDS_PER_PORT = 200;
constexpr int LOOK_WALL_FACTOR = 5;

// Looks once through every process's open files for the `devices`. A
// descriptor opened with O_PATH reads and writes nothing and is no holder;
// a thread with a table of its own, and the threads left after their main
// thread ended, are looked at too. Throws Interrupted on Ctrl-C or a
// termination request. Counted in the search's looks_made.
PortUsers find_port_users(const std::vector<dev_t>& devices, PortSearch& search);

// Throws Failure(EXIT_PORT, "<port>: in use by process 1234 (name)"), the
// process in its holder, when `users` shows another holder of `device`, or
// when the look was cut short.
// When some processes' open files could not be read (as a user other than
// root, those of other users), says on stderr that the check was
// incomplete, once in the search.
void refuse_port_in_use(const std::string& port, dev_t device, const PortUsers& users,
                        PortSearch& search);

} // namespace cli
