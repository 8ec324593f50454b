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
namespace {

std::string open_failure(const std::string& port, DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return port + ": missing (no such port; is the modem plugged in?)";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return port + ": busy (another program has it open)";
    default:
        return port + ": cannot be opened (error " + std::to_string(error) + ")";
    }
}

} // namespace

struct PortChecks::Looked {
    std::vector<std::string> ports;
};

PortChecks::PortChecks(const std::vector<std::string>& ports) : looked_(new Looked{ports}) {}

PortChecks::~PortChecks() = default;

unsigned port_user_looks() {
    return 0;
}

PortClaim::PortClaim(PortChecks& checks, size_t index, modem::Conversation& talk) : talk_(talk) {
    const std::string& port = checks.looked_->ports.at(index);
    const int number = serial::com_port_number(port);
    if (number == 0) {
        throw Failure(EXIT_PORT, port + ": not a COM port (COM1 to COM" +
                                     std::to_string(serial::LAST_COM_PORT) + ")");
    }
    session_ =
        port_create_own(number, "", logged_modem_data, &talk, modem::Conversation::port_failed);
    if (session_ == nullptr) {
        throw Failure(EXIT_PORT, port + ": cannot be opened (out of memory)");
    }
    if (port_open(session_) != 1) {
        // Taken at once: a failed open returns straight from CreateFileA.
        const DWORD error = GetLastError();
        port_release(session_);
        throw Failure(EXIT_PORT, open_failure(port, error));
    }
    talk.port = session_;
}

PortClaim::~PortClaim() {
    port_release(session_);
    talk_.port = nullptr;
}

} // namespace cli
