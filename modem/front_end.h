// What the modem conversation needs from whichever front end drives it: the
// dialog (app/, dialog/) or the command line (cli/). Notifications, the reply
// deadline and failure messages go through here; nothing about windows or
// controls does, so the conversation serves both front ends alike.
#pragma once

#include <cstdint>

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    // Hands a notification to the front end's own thread: never waits,
    // callable from any thread. The dialog gets it as a posted window message.
    virtual void post(unsigned message, uintptr_t wparam, intptr_t lparam) = 0;

    // The reply deadline belongs to the front end's thread. The requests to
    // arm and cancel it may come from the receive thread; the front end
    // handles them on its own thread in order, handing each arm request to
    // on_arm_request. An expiry comes back as on_reply_timer(sequence).
    virtual void arm_deadline(unsigned milliseconds, unsigned sequence) = 0;
    virtual void cancel_deadline(unsigned sequence) = 0;
    // On the front end's thread only: (re)starts the deadline for `sequence` at once.
    virtual void start_deadline(unsigned milliseconds, unsigned sequence) = 0;
    // True when called on the front end's own thread (in the program, the
    // main dialog's).
    virtual bool on_dialog_thread() = 0;

    // A failure the user must hear of. The dialog shows a modal box (`owned`
    // makes the main dialog its owner) and returns once it is closed; the
    // command line keeps the text for its error message. May be called on
    // the receive thread.
    virtual void message_box(const char* text, const char* caption, unsigned flags, bool owned) = 0;
};

// The front end in use; it is installed before the first conversation.
FrontEnd& front_end();
void install_front_end(FrontEnd* front);
