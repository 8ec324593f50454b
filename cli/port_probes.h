// Ports probed at once: each one is claimed (its locks taken, then opened)
// and probed by a conversation of its own, and the answers are taken in the
// order the ports were given, so a search still takes the first modem in its
// order however soon a later one answers. A port is let go as soon as its
// probe shows it is no modem; a modem's claim is kept for the caller.
#pragma once

#include "cli/conversation_loop.h"
#include "cli/failure.h"
#include "cli/modem_session.h"
#include "cli/port_claim.h"

#include <memory>
#include <string>
#include <vector>

namespace cli {

struct ProbedPort {
    std::string port;
    bool done = false;
    Probe probe = Probe::silent;
    std::string ident;       // the identification line, for a rejected device too
    std::string unavailable; // why the port could not be claimed; "" when it was
    Holder holder;           // who holds it, when that is why
    // The port's conversation, then its claim, which uses it and so goes first.
    std::unique_ptr<ConversationLoop> loop;
    std::unique_ptr<PortClaim> claim; // kept only for a modem once the probe is done
};

class PortProbes {
  public:
    // Claims each port in turn and starts its probe; a port that cannot be
    // claimed is done at once. Each port's conversation is set up `like` the
    // command's own: the vendor name an identification must contain, and
    // whether the traffic is logged. `any_modem` also takes a device that
    // fails the test.
    // `borrowing` says whether a port a getty holds is borrowed from it;
    // the claims' looks are the `search`'s.
    PortProbes(const ConversationLoop& like, const std::vector<std::string>& ports, bool any_modem,
               const Borrowing& borrowing, PortSearch& search);
    // Ends every probe still running and lets every port go.
    ~PortProbes();
    PortProbes(const PortProbes&) = delete;
    PortProbes& operator=(const PortProbes&) = delete;

    // Runs the probes until the port at `index` has its answer. Throws
    // Interrupted on Ctrl-C.
    ProbedPort& result(size_t index);
    // Ends the probes of the ports after `index` and lets them go.
    void drop_after(size_t index);

  private:
    void finish(ProbedPort& probed, const Ending& ending);

    std::vector<ProbedPort> ports_;
    bool any_modem_;
};

} // namespace cli
