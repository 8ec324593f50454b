// How a command ends when it cannot do its work: the exit code, the message
// for the user and, when a modem command failed, that command.
#pragma once

#include <stdexcept>
#include <string>

namespace cli {

enum Exit : int {
    EXIT_DONE = 0,
    EXIT_MODEM = 1,    // refused, silent, or read back something else
    EXIT_USAGE = 2,    // command, country, nothing saved
    EXIT_NO_MODEM = 3, // nothing answered, or it failed the identification test
    EXIT_PORT = 4,     // missing, busy or not accessible
    EXIT_INTERRUPTED = 130,
};

struct Failure : std::runtime_error {
    Failure(int exit, const std::string& message, const std::string& step = "")
        : std::runtime_error(message), exit(exit), step(step) {}
    int exit;
    std::string step; // the AT command that failed, e.g. "ATz"; "" when none did
};

// Ctrl-C (or a termination request) while a command runs.
struct Interrupted {
    int signal_number;
};

} // namespace cli
