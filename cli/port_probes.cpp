#include "cli/port_probes.h"

#include "cli/failure.h"
#include "common/text.h"

namespace cli {

PortProbes::PortProbes(const ConversationLoop& like, const std::vector<std::string>& ports,
                       bool any_modem, const Borrowing& borrowing, PortSearch& search)
    : ports_(ports.size()), any_modem_(any_modem) {
    PortChecks checks(ports, search);
    for (size_t i = 0; i < ports.size(); ++i) {
        ProbedPort& probed = ports_[i];
        probed.port = ports[i];
        probed.loop = std::make_unique<ConversationLoop>();
        probed.loop->set_port_name(probed.port);
        probed.loop->log_traffic(like.logs_traffic());
        copy_text(probed.loop->talk().vendor_name, like.vendor_name());
        try {
            probed.claim = std::make_unique<PortClaim>(checks, i, probed.loop->talk(), borrowing);
        } catch (const Failure& failure) {
            probed.unavailable = failure.what();
            probed.holder = failure.holder;
            probed.done = true;
            continue;
        }
        modem::Conversation& talk = probed.loop->talk();
        talk.send_modem_command(procedures::Probe(any_modem_).start(talk).word);
    }
}

PortProbes::~PortProbes() = default;

void PortProbes::finish(ProbedPort& probed, const Ending& ending) {
    procedures::Probe probing(any_modem_);
    probing.on_event(probed.loop->talk(), ending);
    probed.probe = probing.found();
    probed.ident = probing.ident(probed.loop->talk());
    probed.done = true;
    if (probed.probe != Probe::modem && probed.probe != Probe::standard) {
        probed.claim.reset();
    }
}

ProbedPort& PortProbes::result(size_t index) {
    std::vector<ConversationLoop*> running(ports_.size());
    while (!ports_[index].done) {
        for (size_t i = 0; i < ports_.size(); ++i) {
            running[i] = ports_[i].done ? nullptr : ports_[i].loop.get();
        }
        Ending ending;
        const size_t ended = wait_any(running.data(), running.size(), ending);
        finish(ports_[ended], ending);
    }
    return ports_[index];
}

void PortProbes::drop_after(size_t index) {
    if (index + 1 < ports_.size()) {
        ports_.erase(ports_.begin() + static_cast<std::ptrdiff_t>(index) + 1, ports_.end());
    }
}

} // namespace cli
