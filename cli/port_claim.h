// Taking a port for one command: the locks other programs honour, the open
// port session, and letting all of it go again.
#pragma once

#include <string>

namespace cli {

class PortClaim {
  public:
    // Opens `port` for the conversation; throws Failure(EXIT_PORT) naming
    // the port and the likely cause when it is missing, busy or not
    // accessible.
    explicit PortClaim(const std::string& port);
    // Closes the port (its line settings put back) and releases the locks.
    ~PortClaim();
    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;

  private:
    std::string lock_file_; // the UUCP lock this claim holds, "" for none
};

} // namespace cli
