// The one value a failure travels as, from where it happens to the front end
// that tells the user: the serial link, the profile and the procedures give
// it back (or hand it to the front end's report, when it arises on the
// receive thread), and each front end maps its kind in one table, the dialog
// to a box or to nothing, the command line to an exit code and a message.
#pragma once

#include <string>
#include <utility>

// What failed. A front end's table has one row for each.
enum class Kind : unsigned {
    none,
    // the conversation with the modem
    modem_reply,    // the modem refused a command, or its answer overflowed
    reply_deadline, // the modem did not answer in time
    // the port
    port_busy,      // a conversation is running on it already
    port_setup,     // its session could not be made (out of memory, a path too long)
    port_open,      // it could not be opened and set up (`error`: the system's number)
    port_write,     // it took no write (`error`: the system's number)
    port_close,     // it would not close
    receive_thread, // the receive thread could not start properly
    // the profile
    profile_write,   // the profile was not written (`text` says why)
    profile_stopped, // a profile write was given up while waiting for another writer
    // the read
    not_standard, // a device taken only as a standard modem refused AT+GCI=?
    // the apply
    key_unusable, // the chosen entry's key or code cannot be sent or recorded
    read_back,    // ATi5 read back another code than the one sent
    // the dialog's own controls
    list_space, // a list box ran out of memory
};

struct Failure {
    Kind kind = Kind::none;
    // The command outstanding as a user would type it ("ATz", "AT*ncB4"), or
    // "" when no command failed.
    std::string step;
    // The port it happened on ("COM3", "/dev/ttyACM0"); "" when none or unknown.
    std::string port;
    // The words for the user: the box text of the conversation's failures,
    // the system's or the profile's reason for the others.
    std::string text;
    // The system's error number, when a system call failed; for
    // reply_deadline, the deadline in milliseconds; for profile_stopped,
    // what the front end's pause gave back.
    int error = 0;

    explicit operator bool() const { return kind != Kind::none; }
};

inline Failure failure(Kind kind, std::string text = "", int error = 0) {
    Failure made;
    made.kind = kind;
    made.text = std::move(text);
    made.error = error;
    return made;
}
