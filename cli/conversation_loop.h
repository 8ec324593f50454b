// The command line's front end for the modem conversation, and its event
// loop on the main thread. What the conversation posts, the deadline
// requests and the failure texts are queued here from whichever thread
// makes them; the main thread takes them in order while it waits for a
// conversation to hand control back. The wait itself is the platform's
// (main_wait.h): nothing here spins or sleeps.
#pragma once

#include "cli/main_wait.h"
#include "common/failure.h"
#include "modem/conversation.h"
#include "modem/front_end.h"
#include "procedures/procedures.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

namespace cli {

// How a conversation handed control back: the event its procedure takes,
// with the first failure the conversation reported on its way here.
using Ending = procedures::Event;

class ConversationLoop : public FrontEnd {
  public:
    ConversationLoop();
    ~ConversationLoop() override;

    // The conversation's events end a wait as the notifications the dialog
    // gets would (Ending::id); a failure goes with the ending that follows it.
    void identified(const char* ident) override;
    void list_read(unsigned command, bool ok) override;
    void code_read() override;
    void ended(unsigned step, bool ok) override;
    void answered(unsigned command, bool ok) override;
    void report(const ::Failure& failure) override;
    void arm_deadline(unsigned milliseconds, unsigned sequence) override;
    void cancel_deadline(unsigned sequence) override;
    void start_deadline(unsigned milliseconds, unsigned sequence) override;
    bool on_front_end_thread() override;

    // Sends `word` and runs the loop until the conversation hands control
    // back. Throws Interrupted on Ctrl-C.
    Ending converse(uint32_t word);
    // The same for a conversation that the caller has just started.
    Ending wait();
    // Takes what has come for the conversation without waiting: true when it
    // handed control back. The main thread's own wait is the caller's.
    bool take(Ending& ending);
    // How long the main thread may wait before this conversation's deadline
    // runs out: -1 with none running.
    int milliseconds_left() const;

    // Waits `milliseconds` with no conversation running, ended early only by
    // Ctrl-C (throws Interrupted).
    void pause(int milliseconds);

    // The conversation with the modem on the claimed port; it reports here.
    modem::Conversation& talk() { return talk_; }
    const char* vendor_name() const { return talk_.vendor_name; }
    // The port it talks on, which --verbose names; set before the port opens.
    void set_port_name(const std::string& port) { port_name_ = port; }
    const std::string& port_name() const { return port_name_; }
    // --verbose: every command and reply on stderr, with time stamps. Set
    // before the port opens; the receive thread only reads it.
    void log_traffic(bool on) { verbose_ = on; }
    bool logs_traffic() const { return verbose_; }

  private:
    struct Event {
        enum Kind { notified, arm, cancel, failed } kind; // failed: the front of failures_
        unsigned number;                                  // milliseconds of an arm request
        uintptr_t wparam;                                 // the notification's id
        intptr_t lparam;                                  // or the deadline's sequence
    };
    using Clock = std::chrono::steady_clock;

    void push(const Event& event);
    void notify(unsigned id, intptr_t value);
    bool next_event(Event& event);
    bool handle(const Event& event, Ending& ending);
    bool deadline_expired(Ending& ending);

    PortSession* session_ = nullptr; // the claimed port's, while it is open
    modem::Conversation talk_{*this, session_};
    std::string port_name_;
    bool verbose_ = false;
    std::deque<Event> events_; // and failures_: under lock_events()
    std::deque<::Failure> failures_;
    // The first failure since the last ending; touched on the main thread only.
    ::Failure pending_;
    uintptr_t main_thread_;
    // The running deadline; touched on the main thread only.
    unsigned armed_ = 0;
    Clock::time_point due_;
    bool starting_queued_arm_ = false;
};

// Several conversations at once, each on a port of its own (null entries
// are passed over): runs the loop until one of them hands control back, and
// gives its index. Throws Interrupted on Ctrl-C.
size_t wait_any(ConversationLoop* const* loops, size_t count, Ending& ending);

// How a profile write waits for another writer's lock: the main thread's
// wait, so that a signal ends it at once. Gives 0 to go on waiting, or the
// signal's number (or BROKEN_PIPE) to give the write up; the signal stays
// seen, so the next wait ends the command with it.
int pause_for_lock(unsigned milliseconds);

// How every wait of the main thread ends on a signal (Ctrl-C, a request to
// terminate) or once the output can no longer be written: it throws
// Interrupted. Otherwise gives back how the wait was woken.
Woken unless_interrupted(Woken woken, int signal_number);

// The port's data callback: logs the block when verbose, then the
// conversation (`context`) judges it.
void logged_modem_data(void* context, const char* block, uint32_t length);

} // namespace cli
