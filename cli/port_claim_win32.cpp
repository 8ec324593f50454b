// Ports on Windows: "COM3" is opened as \\.\COM3. Windows lets one program
// at a time have a COM port open, so the open itself tells a busy port; there
// are no lock files to honour.
#include "cli/port_claim.h"

#include "cli/conversation_loop.h"
#include "cli/failure.h"
#include "serial/com_ports.h"
#include "modem/conversation.h"
#include "serial/port_session.h"

#include <windows.h>

namespace cli {

struct PortChecks::Looked {
    std::vector<std::string> ports;
};

PortChecks::PortChecks(const std::vector<std::string>& ports, PortSearch& search)
    : looked_(new Looked{ports}), search_(search) {}

PortChecks::~PortChecks() = default;

// Windows has no lock that a getty honours: nothing is borrowed there.
class PortBorrow {};

PortClaim::PortClaim(PortChecks& checks, size_t index, modem::Conversation& talk, const Borrowing&)
    : talk_(talk) {
    const std::string& port = checks.looked_->ports.at(index);
    const int number = serial::com_port_number(port);
    if (number == 0) {
        throw Failure(EXIT_PORT, port + ": not a COM port (COM1 to COM" +
                                     std::to_string(serial::LAST_COM_PORT) + ")");
    }
    session_ =
        port_create_own(number, "", logged_modem_data, &talk, modem::Conversation::port_failed);
    ::Failure failed = session_ != nullptr ? port_open(session_) : failure(Kind::port_setup);
    if (failed) {
        port_release(session_);
        failed.port = port;
        fail(failed);
    }
    talk.port = session_;
}

PortClaim::~PortClaim() {
    port_release(session_);
    talk_.port = nullptr;
}

} // namespace cli
