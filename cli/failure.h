// How a command ends when it cannot do its work: the exit code, the message
// for the user and, when a modem command failed, that command.
#pragma once

#include <stdexcept>
#include <string>

namespace cli {

enum Exit : int {
    EXIT_DONE = 0,
    EXIT_MODEM = 1,        // refused, silent, or read back something else
    EXIT_USAGE = 2,        // command, country, nothing saved
    EXIT_NO_MODEM = 3,     // nothing answered, or it failed the identification test
    EXIT_PORT = 4,         // missing, busy or not accessible
    EXIT_WOULD_CHANGE = 5, // --check: the real command would change the modem or the choice
    EXIT_PROFILE = 6,      // the profile could not be read or written
};

// A command ended by a signal exits as a shell reports it: 128 + the number
// (130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP, 141 for a closed pipe).
inline int interrupted_exit(int signal_number) {
    return 128 + signal_number;
}

// The process that has a port open, when that is why a command could not use it.
struct Holder {
    long pid = 0; // 0: none known
    std::string name;
};

struct Failure : std::runtime_error {
    Failure(int exit, const std::string& message, const std::string& step = "",
            const std::string& port = "")
        : std::runtime_error(message), exit(exit), step(step), port(port) {}
    int exit;
    std::string step; // the AT command that failed, e.g. "ATz"; "" when none did
    std::string port; // the port it failed on; "" when none was known
    Holder holder;
};

// SIGPIPE's number on Linux; a closed output ends a command as it would.
constexpr int BROKEN_PIPE = 13;

// Ctrl-C (or a termination request, or a closed output) while a command runs.
struct Interrupted {
    int signal_number;
    std::string port = ""; // the port being worked on; "" when none or several
};

} // namespace cli
