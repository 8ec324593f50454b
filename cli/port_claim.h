// Taking a port for one command: the locks other programs honour, the open
// port session, and letting all of it go again.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace modem {
class Conversation;
}
struct PortSession;

namespace cli {

// A UUCP lock file as it was seen: which file it was, what it held, the
// process it names (0 for none), and whether it is young enough that its
// maker may still be writing the process id.
struct LockFileSeen {
    bool present = false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    std::string text;
    long pid = 0;
    bool fresh = false;
};

// What a command's search for ports keeps across its tries. `looks_made`:
// how many times it has looked through other programs' open files (never,
// where the system keeps a port to one program), so that a wait between
// tries can tell whether a try looked. `said`: the note that a look could
// not see every process was given; it is given once, since the check is as
// good on every port and a search tries many.
struct PortSearch {
    unsigned looks_made = 0;
    bool said = false;
};

// The ports a command may claim, each looked at before any of them is
// locked or opened, and looked for among the open files of other programs
// once for all of them. On Linux each port is then the device its path
// named at that moment: every later step decides on that device, never on
// the path looked up again.
class PortChecks {
  public:
    PortChecks(const std::vector<std::string>& ports, PortSearch& search);
    ~PortChecks();
    PortChecks(const PortChecks&) = delete;
    PortChecks& operator=(const PortChecks&) = delete;

    struct Looked; // the platform's part

  private:
    friend class PortClaim;
    std::unique_ptr<Looked> looked_;
    PortSearch& search_;
};

// Whether a claim may take its port from a getty that gives way to a UUCP
// lock (--borrow), and until when it waits for the getty to let go.
struct Borrowing {
    bool allowed = false;
    bool hinted = false; // a busy port's message names --borrow
    std::chrono::steady_clock::time_point until{};
};

// How long a getty is given to let go when no --wait asks for longer: it
// steps aside within a second of the modem's answer.
constexpr int BORROW_SECONDS = 5;

class PortBorrow;

class PortClaim {
  public:
    // Opens the port that `checks` looked at as its `index`th, for the
    // conversation `talk`; throws Failure(EXIT_PORT) naming the port and the
    // likely cause when it is missing, busy or not accessible. With
    // `borrowing` allowed, a port that a getty holds is borrowed from it
    // (cli/port_borrow_linux.h).
    PortClaim(PortChecks& checks, size_t index, modem::Conversation& talk,
              const Borrowing& borrowing = Borrowing());
    // Closes the port (its line settings put back) and releases the locks.
    ~PortClaim();
    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;

  private:
    modem::Conversation& talk_;
    PortSession* session_ = nullptr; // the port's own session, beside any other claim's
    std::string lock_file_;          // the UUCP lock this claim holds, "" for none
    LockFileSeen lock_;              // that lock as we made it: removed only while it is still ours
    std::unique_ptr<PortBorrow> borrow_; // the getty's port while it is ours
};

} // namespace cli
