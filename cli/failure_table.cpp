#include "cli/failure.h"

#include "cli/json_text.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace cli {
namespace {

// The system's own words for an error number.
std::string system_words(int error) {
#ifdef _WIN32
    return "error " + std::to_string(error);
#else
    return std::strerror(error);
#endif
}

// The profile's reason, naming the profile once: the message names it.
std::string profile_reason(const std::string& path, std::string why) {
    if (why.compare(0, path.size() + 2, path + ": ") == 0) {
        why.erase(0, path.size() + 2);
    }
    return why.empty() ? "the profile could not be written" : why;
}

Failure row(const ::Failure& f, const std::string& profile_path) {
    const std::string& step = f.step;
    switch (f.kind) {
    case Kind::modem_reply:
        return Failure(EXIT_MODEM, step + " failed" + (f.text.empty() ? "" : ": " + f.text), step);
    case Kind::reply_deadline:
        return Failure(EXIT_MODEM,
                       "no answer to " + step + " within " + std::to_string(f.error) + " ms", step);
    case Kind::port_write:
        return Failure(EXIT_PORT,
                       step + " failed: the port took no write (" + system_words(f.error) + ")",
                       step);
    case Kind::port_open:
        return Failure(EXIT_PORT, f.error != 0 ? port_words(f.port, f.error)
                                               : f.port + ": cannot be opened (" + f.text + ")");
    case Kind::port_setup:
        return Failure(EXIT_PORT, f.port + ": cannot be opened (out of memory)");
    case Kind::port_busy:
    case Kind::port_close:
    case Kind::receive_thread:
        return Failure(EXIT_PORT, f.text, step);
    case Kind::profile_write: {
        // The saved choice is the one profile write whose failure fails a
        // command; an unknown code's entry is listed without a key instead.
        return Failure(EXIT_PROFILE, "the choice could not be saved in " + profile_path + ": " +
                                         profile_reason(profile_path, f.text));
    }
    case Kind::key_unusable:
        return Failure(EXIT_USAGE, f.text);
    case Kind::not_standard:
        return Failure(EXIT_NO_MODEM,
                       "the device refuses " + step +
                           ": --any-modem takes only modems of the standard AT+GCI kind",
                       step);
    case Kind::read_back:
        return Failure(EXIT_MODEM, utf8_from_1252(f.text), step);
    case Kind::profile_stopped: // thrown as Interrupted by fail()
    case Kind::list_space:      // the dialog's own
    case Kind::none:
        break;
    }
    return Failure(EXIT_MODEM, f.text, step);
}

} // namespace

// The port is left for the caller to name as the user gave it: the
// session's own name may be a descriptor's path.
Failure command_failure(const ::Failure& failure, const std::string& profile_path) {
    return row(failure, profile_path);
}

void fail(const ::Failure& failure, const std::string& profile_path) {
    if (failure.kind == Kind::profile_stopped) {
        throw Interrupted{failure.error};
    }
    throw command_failure(failure, profile_path);
}

std::string port_words(const std::string& port, int error) {
#ifdef _WIN32
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
#else
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return port + ": missing (no such device; is the modem plugged in?)";
    case EACCES:
    case EPERM:
        return port + ": not accessible (permission denied; is the user in the dialout group?)";
    case EWOULDBLOCK:
    case EBUSY:
        return port + ": busy (another program holds it, such as ModemManager or a fax or "
                      "terminal program)";
    case ENOTTY:
        return port + ": not a serial port";
    default:
        return port + ": cannot be opened (" + std::strerror(error) + ")";
    }
#endif
}

} // namespace cli
