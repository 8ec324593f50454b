// What a modem conversation needs from whichever front end drives it: the
// dialog (app/, dialog/) or the command line (cli/). Typed events, the reply
// deadline and failures go through here; nothing about windows or controls
// does, so the conversation serves both front ends alike. Every event may be
// raised on the receive thread; a front end hands it to its own thread
// without waiting (the dialog posts it as the window message it always was).
#pragma once

#include "common/failure.h"

#include <cstdint>

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    // --- events: each ends the conversation's current exchange ---
    // The identification was judged: `ident` is the accepted text (the
    // conversation's modem_ident), or null for a device that failed the test.
    virtual void identified(const char* ident) = 0;
    // The country list was read (`ok`) or refused, by AT*nc? or AT+GCI=?
    // (`command`: CMD_LIST_NC or CMD_LIST_GCI).
    virtual void list_read(unsigned command, bool ok) = 0;
    // ATi5 gave the present code (i5_code).
    virtual void code_read() = 0;
    // The conversation ended at `step` (the command outstanding: the note's
    // read or write, or any command that failed), successfully or not.
    virtual void ended(unsigned step, bool ok) = 0;
    // One of the front end's own commands was answered, OK or ERROR.
    virtual void answered(unsigned command, bool ok) = 0;

    // A failure of the conversation or of its port, as it happens. Each
    // front end maps it in its own table: the dialog shows its box (modal,
    // returning once it is closed) or nothing, the command line hands it to
    // the ending that follows for its exit code and message. May be called
    // on the receive thread; a failure that ends the exchange comes before
    // the event that ends it.
    virtual void report(const Failure& failure) = 0;

    // The reply deadline belongs to the front end's thread. The requests to
    // arm and cancel it may come from the receive thread; the front end
    // handles them on its own thread in order, handing each arm request to
    // the conversation's on_arm_request. An expiry comes back as the
    // conversation's on_reply_timer(sequence).
    virtual void arm_deadline(unsigned milliseconds, unsigned sequence) = 0;
    virtual void cancel_deadline(unsigned sequence) = 0;
    // On the front end's thread only: (re)starts the deadline for `sequence` at once.
    virtual void start_deadline(unsigned milliseconds, unsigned sequence) = 0;
    // True when called on the front end's own thread (in the program, the
    // main dialog's).
    virtual bool on_front_end_thread() = 0;
};
