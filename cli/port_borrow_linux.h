// Borrowing a port from a getty (--borrow). mgetty and HylaFAX's faxgetty
// keep a modem's port open all day, waiting for a call, and give it up to a
// dial-out program the way such programs ask: the dial-out program makes the
// port's UUCP lock, then speaks to the modem; the getty, woken by the
// modem's answer, finds the lock, closes the port and waits for the lock to
// go. So a borrow is made with our lock already in place, and the lock's
// removal (by the claim that owns it) gives the port back.
#pragma once

#include "cli/failure.h"
#include "cli/port_steps_linux.h"

#include <chrono>
#include <string>
#include <sys/types.h>

namespace cli {

// What a dial-out program sends first: it wakes the getty by the modem's
// answer, and asks for word results as our own conversation does.
constexpr char BORROW_WAKE_UP[] = "\rATV1\r";

// Whether `pid` still has the tty `device` open, in any of its threads. A
// process that is gone holds nothing; a walk that could not finish counts
// as holding it.
bool still_holds(long pid, dev_t device);

class PortBorrow {
  public:
    // Opens the device at `node` as a dial-out program does, without taking
    // it for ourselves, sends the wake-up and waits, until `until`, for
    // `holder` to close every descriptor it has of the port. The UUCP lock
    // must be ours already. Throws Failure(EXIT_PORT) naming the holder when
    // it does not let go, Interrupted on a signal.
    PortBorrow(const PortNode& node, const Holder& holder,
               std::chrono::steady_clock::time_point until);
    // Closes our descriptor; kept open until the claim has the port, so the
    // line never drops between the getty's close and our claim.
    ~PortBorrow();
    PortBorrow(const PortBorrow&) = delete;
    PortBorrow& operator=(const PortBorrow&) = delete;

  private:
    void wake_and_wait(const PortNode& node, const Holder& holder,
                       std::chrono::steady_clock::time_point until);

    int fd_ = -1;
};

} // namespace cli
