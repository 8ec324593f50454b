// How a command ends when it cannot do its work: the exit code, the message
// for the user and, when a modem command failed, that command. A failure of
// the core (the port, the conversation, the profile, the procedures) becomes
// one through the command line's one table (command_failure).
#pragma once

#include "common/failure.h"

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

// The process found holding a busy port; pid 0 for none.
struct Holder {
    long pid = 0;
    std::string name;
    // It keeps no live UUCP lock of its own, so --borrow may take the port.
    bool borrowable = false;
};

struct Failure : std::runtime_error {
    Failure(int exit, const std::string& message, const std::string& step = "",
            const std::string& port = "")
        : std::runtime_error(message), exit(exit), step(step), port(port) {}
    int exit;
    std::string step; // the AT command that failed, e.g. "ATz"; "" when none did
    std::string port; // the port it failed on; "" when none was known
    Holder holder;    // who holds the port, when it was busy for that reason
};

// SIGPIPE's number on Linux; a closed output ends a command as it would.
constexpr int BROKEN_PIPE = 13;

// Ctrl-C (or a termination request, or a closed output) while a command runs.
struct Interrupted {
    int signal_number;
    std::string port = ""; // the port being worked on; "" when none or several
};

// The command line's table: a failure of the core becomes the exit code, the
// message and the JSON error's step and port. A profile write that the
// lock's pause gave up for a signal becomes the Interrupted that signal makes
// (thrown). `profile_path`: the profile a failed write was for.
Failure command_failure(const ::Failure& failure, const std::string& profile_path = "");
// Throws what command_failure makes.
[[noreturn]] void fail(const ::Failure& failure, const std::string& profile_path = "");

// A port that cannot be opened, in words for the user, from the system's
// error number (errno, or GetLastError's on Windows).
std::string port_words(const std::string& port, int error);

} // namespace cli
