#include "cli/conversation_loop.h"

#include "cli/console.h"
#include "cli/failure.h"
#include "cli/json_text.h"
#include "cli/main_wait.h"
#include "cli/output.h"
#include "modem/command_table.h"
#include "modem/notifications.h"
#include "serial/port_session.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>

namespace cli {
namespace {

class EventsLocked {
  public:
    EventsLocked() { lock_events(); }
    ~EventsLocked() { unlock_events(); }
    EventsLocked(const EventsLocked&) = delete;
    EventsLocked& operator=(const EventsLocked&) = delete;
};

// One line on stderr: a time stamp, the port, the direction and the bytes,
// with CR, LF and other control bytes made visible. Ports probed at once
// write their lines in turn, so each line names its own.
void log_bytes(const std::string& port, const char* direction, const char* bytes, size_t length) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long micros = static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count() %
        1000000);
    const std::tm local = local_time(seconds);
    std::string line;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        char escaped[8];
        if (byte == '\r') {
            line += "\\r";
        } else if (byte == '\n') {
            line += "\\n";
        } else if (byte < 0x20 || byte >= 0x7F || byte == '\\') {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            line += escaped;
        } else {
            line += static_cast<char>(byte);
        }
    }
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%06ld ", local.tm_hour, local.tm_min,
                  local.tm_sec, micros);
    write_err(stamp + (port.empty() ? "" : visible_text(port) + " ") + direction + " " + line +
              "\n");
}

// The sender asks for the deadline just before it writes the command it has
// built into command_text, on the thread that sends it: the moment to log it.
void log_command(const ConversationLoop& loop, const modem::Conversation& talk) {
    if (loop.logs_traffic()) {
        log_bytes(loop.port_name(), "->", talk.command_text,
                  std::char_traits<char>::length(talk.command_text));
    }
}

bool port_is_open(modem::Conversation& talk) {
    return talk.port != nullptr && talk.port->connected.load() != 0;
}

} // namespace

void logged_modem_data(void* context, const char* block, uint32_t length) {
    const auto* talk = static_cast<const modem::Conversation*>(context);
    const auto& loop = static_cast<const ConversationLoop&>(talk->front_end);
    if (loop.logs_traffic() && block != nullptr) {
        log_bytes(loop.port_name(), "<-", block, length);
    }
    modem::Conversation::receive(context, block, length);
}

ConversationLoop::ConversationLoop() : main_thread_(current_thread()) {
    talk_.ignore_ring = true;
}

ConversationLoop::~ConversationLoop() = default;

void ConversationLoop::push(const Event& event) {
    {
        EventsLocked lock;
        events_.push_back(event);
    }
    wake_main_thread();
}

bool ConversationLoop::next_event(Event& event) {
    EventsLocked lock;
    if (events_.empty()) {
        return false;
    }
    event = events_.front();
    events_.pop_front();
    return true;
}

void ConversationLoop::notify(unsigned id, intptr_t value) {
    push({Event::notified, 0, id, value});
}

void ConversationLoop::identified(const char* ident) {
    notify(NOTIFY_DISCONNECT, reinterpret_cast<intptr_t>(ident));
}

void ConversationLoop::list_read(unsigned command, bool ok) {
    notify(command, ok ? 1 : 0);
}

void ConversationLoop::code_read() {
    notify(NOTIFY_I5_READ, 1);
}

void ConversationLoop::ended(unsigned, bool ok) {
    notify(NOTIFY_DISCONNECT, ok ? 1 : 0);
}

void ConversationLoop::answered(unsigned command, bool ok) {
    notify(command, ok ? 1 : 0);
}

void ConversationLoop::arm_deadline(unsigned milliseconds, unsigned sequence) {
    log_command(*this, talk_);
    push({Event::arm, milliseconds, 0, static_cast<intptr_t>(sequence)});
}

void ConversationLoop::cancel_deadline(unsigned sequence) {
    push({Event::cancel, 0, 0, static_cast<intptr_t>(sequence)});
}

void ConversationLoop::start_deadline(unsigned milliseconds, unsigned sequence) {
    if (!starting_queued_arm_) {
        log_command(*this, talk_); // sent on this thread: arm_deadline was not asked
    }
    armed_ = sequence;
    due_ = Clock::now() + std::chrono::milliseconds(milliseconds);
}

bool ConversationLoop::on_front_end_thread() {
    return current_thread() == main_thread_;
}

// A failure on the main thread (the deadline's, or a write from there)
// comes before anything it is queued behind could end the wait; one from the
// receive thread takes its place in the queue, before the event that ends
// the conversation.
void ConversationLoop::report(const ::Failure& failure) {
    if (on_front_end_thread()) {
        if (!pending_) {
            pending_ = failure;
        }
        return;
    }
    {
        EventsLocked lock;
        failures_.push_back(failure);
    }
    push({Event::failed, 0, 0, 0});
}

// Gives true when the event hands control back.
bool ConversationLoop::handle(const Event& event, Ending& ending) {
    const unsigned sequence = static_cast<unsigned>(event.lparam);
    switch (event.kind) {
    case Event::notified:
        ending.notified = true;
        ending.id = static_cast<unsigned>(event.wparam);
        ending.value = event.lparam;
        ending.word = talk_.conversation_state.load();
        ending.failure = std::exchange(pending_, ::Failure{});
        return true;
    case Event::failed: {
        EventsLocked lock;
        if (!pending_ && !failures_.empty()) {
            pending_ = failures_.front();
        }
        if (!failures_.empty()) {
            failures_.pop_front();
        }
        return false;
    }
    case Event::arm:
        starting_queued_arm_ = true;
        talk_.on_arm_request(event.number, sequence);
        starting_queued_arm_ = false;
        return false;
    case Event::cancel:
        if (sequence == armed_) {
            armed_ = 0;
        }
        return false;
    }
    return false;
}

int ConversationLoop::milliseconds_left() const {
    if (armed_ == 0) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(due_ - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// The running deadline ran out: the conversation judges it. Gives true when
// that ended the conversation (it closed the port), false after a retry.
bool ConversationLoop::deadline_expired(Ending& ending) {
    const unsigned sequence = armed_;
    armed_ = 0;
    const uint32_t word = talk_.conversation_state.load();
    const int next_port = talk_.on_reply_timer(sequence);
    if (port_is_open(talk_)) {
        return false;
    }
    ending.notified = false;
    ending.word = word;
    ending.silent_port = next_port == 1;
    ending.failure = std::exchange(pending_, ::Failure{});
    return true;
}

Woken unless_interrupted(Woken woken, int signal_number) {
    if (woken == Woken::signal) {
        throw Interrupted{signal_number};
    }
    if (output_lost()) {
        throw Interrupted{BROKEN_PIPE};
    }
    return woken;
}

// The profile's writer cannot be thrown through: the pause answers, and the
// signal stays seen for the next wait, which ends the command.
int pause_for_lock(unsigned milliseconds) {
    int signal_number = 0;
    if (wait_main_thread(static_cast<int>(milliseconds), &signal_number) == Woken::signal) {
        keep_signal(signal_number);
        return signal_number;
    }
    return output_lost() ? BROKEN_PIPE : 0;
}

void ConversationLoop::pause(int milliseconds) {
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        int signal_number = 0;
        // A wake-up for an event (a late post of the last conversation)
        // leaves the event queued for the next conversation, as it would be
        // without the pause, and the pause goes on.
        if (left <= 0) {
            return;
        }
        const Woken woken = wait_main_thread(static_cast<int>(left), &signal_number);
        if (unless_interrupted(woken, signal_number) == Woken::timeout) {
            return;
        }
    }
}

Ending ConversationLoop::converse(uint32_t word) {
    talk_.send_modem_command(word);
    return wait();
}

Ending ConversationLoop::wait() {
    ConversationLoop* self = this;
    Ending ending;
    wait_any(&self, 1, ending);
    return ending;
}

bool ConversationLoop::take(Ending& ending) {
    ending = Ending{};
    for (;;) {
        Event event;
        while (next_event(event)) {
            if (handle(event, ending)) {
                return true;
            }
        }
        if (milliseconds_left() != 0) {
            return false;
        }
        if (deadline_expired(ending)) {
            return true;
        }
    }
}

size_t wait_any(ConversationLoop* const* loops, size_t count, Ending& ending) {
    unless_interrupted(Woken::events, 0);
    for (;;) {
        int soonest = -1;
        for (size_t i = 0; i < count; ++i) {
            if (loops[i] == nullptr) {
                continue;
            }
            if (loops[i]->take(ending)) {
                return i;
            }
            const int left = loops[i]->milliseconds_left();
            if (left >= 0 && (soonest < 0 || left < soonest)) {
                soonest = left;
            }
        }
        int signal_number = 0;
        const Woken woken = wait_main_thread(soonest, &signal_number);
        unless_interrupted(woken, signal_number);
    }
}

} // namespace cli
