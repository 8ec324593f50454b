// The dialog's one table of failures: what each Failure shows, a box (its
// text, caption, icon and owner) or nothing, where the dialog ignores that
// failure on purpose. The table chooses the box only: it is shown where the
// failure is handed in, on that thread, as it always was (the interpreter's
// boxes modal on the receive thread, before the conversation's end is
// posted).
#pragma once

#include "common/failure.h"

class DialogSeam;

namespace workflow {

// The step the scan gives a port it cannot open: such a port is passed over.
constexpr const char* SCAN_STEP = "scan";

struct FailureRow {
    Kind kind;
    bool scanning;       // the row of a failure at SCAN_STEP
    const char* text;    // the box's text; null: the failure's own text
    const char* caption; // null: shown nowhere
    unsigned flags;      // BOX_* icon and flags
    bool owned;          // the main dialog owns the box (and is disabled meanwhile)
    const char* why;     // why a failure shown nowhere needs no box
};

// The row for `failure`.
const FailureRow& failure_row(const Failure& failure);

// Shows `failure` as its row says: a modal box, returning once it is
// closed, or only a trace line. May be called on the receive thread.
void show_failure(DialogSeam& seam, const Failure& failure);

} // namespace workflow
