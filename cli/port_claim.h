// Taking a port for one command: the locks other programs honour, the open
// port session, and letting all of it go again.
#pragma once

#include <string>

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

class PortClaim {
  public:
    // Opens `port` for the conversation `talk`; throws Failure(EXIT_PORT)
    // naming the port and the likely cause when it is missing, busy or not
    // accessible.
    PortClaim(const std::string& port, modem::Conversation& talk);
    // Closes the port (its line settings put back) and releases the locks.
    ~PortClaim();
    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;

  private:
    modem::Conversation& talk_;
    PortSession* session_ = nullptr; // the port's own session, beside any other claim's
    std::string lock_file_;          // the UUCP lock this claim holds, "" for none
    LockFileSeen lock_;              // that lock as we made it: removed only while it is still ours
};

} // namespace cli
