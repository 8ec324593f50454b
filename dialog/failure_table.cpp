#include "dialog/failure_table.h"

#include "common/trace.h"
#include "dialog/dialog_seam.h"
#include "dialog/messages.h"

#include <iterator>

namespace workflow {
namespace {

constexpr unsigned WARNING = BOX_SETFOREGROUND | BOX_ICONWARNING;
constexpr const char* OWN_TEXT = nullptr;
constexpr const char* NOWHERE = nullptr;
constexpr bool OWNED = true;
constexpr bool SCANNING = true;

constexpr FailureRow ROWS[] = {
    // the conversation: the interpreter's and the deadline's texts
    {Kind::modem_reply, false, OWN_TEXT, "Modem Status", WARNING, OWNED, nullptr},
    {Kind::reply_deadline, false, OWN_TEXT, "Modem Status", BOX_ICONWARNING, OWNED, nullptr},
    // the port
    {Kind::port_busy, false, "Modem is busy performing a task. Please try again later!",
     "Country Code Status", WARNING, OWNED, nullptr},
    {Kind::port_setup, false,
     "Modem setup failed! Modem may be busy, not connected or unavailable.", "Info Status", WARNING,
     OWNED, nullptr},
    {Kind::port_open, false, "Connection failed! Modem may be busy, not connected or unavailable.",
     "Info Status", WARNING, OWNED, nullptr},
    {Kind::port_setup, SCANNING, nullptr, NOWHERE, 0, false,
     "the scan passes over a port it cannot use"},
    {Kind::port_open, SCANNING, nullptr, NOWHERE, 0, false,
     "the scan passes over a port it cannot open"},
    {Kind::port_write, false, nullptr, NOWHERE, 0, false,
     "no answer comes, and the reply deadline's box follows"},
    // the port's own failures have no owner window
    {Kind::port_close, false, OWN_TEXT, "Modem Operation", BOX_OK, false, nullptr},
    {Kind::receive_thread, false, OWN_TEXT, " Error!", BOX_ICONWARNING, false, nullptr},
    // the profile: a file that cannot be written changes nothing in the run
    {Kind::profile_write, false, nullptr, NOWHERE, 0, false,
     "the modem holds the country; the entry is missing at the next start"},
    {Kind::profile_stopped, false, nullptr, NOWHERE, 0, false,
     "the dialog's writers wait for the lock: nothing gives a write up"},
    // the apply
    {Kind::key_unusable, false, "Failure to set the Country Code!", "Modem Status", WARNING, OWNED,
     nullptr},
    // the command line's own checks, which the dialog's options leave out
    {Kind::not_standard, false, nullptr, NOWHERE, 0, false,
     "the dialog takes no device as a standard modem only"},
    {Kind::read_back, false, nullptr, NOWHERE, 0, false,
     "the dialog takes whatever code the modem reads back"},
    {Kind::list_space, false, "List box failure", "Out of Memory", BOX_OK, OWNED, nullptr},
};

constexpr FailureRow NO_FAILURE{Kind::none, false, nullptr, NOWHERE, 0, false, "no failure"};

} // namespace

const FailureRow& failure_row(const Failure& failure) {
    const bool scanning = failure.step == SCAN_STEP;
    for (const FailureRow& row : ROWS) {
        if (row.kind == failure.kind && row.scanning == scanning) {
            return row;
        }
    }
    return NO_FAILURE;
}

void show_failure(DialogSeam& seam, const Failure& failure) {
    const FailureRow& row = failure_row(failure);
    if (row.caption == NOWHERE) {
        tracef("[shown nowhere: %s] %s %s: %s\n", row.why, failure.port.c_str(),
               failure.step.c_str(), failure.text.c_str());
        return;
    }
    seam.message_box(row.text != OWN_TEXT ? row.text : failure.text.c_str(), row.caption, row.flags,
                     row.owned);
}

} // namespace workflow
