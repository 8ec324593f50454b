#include "tools/modem-sim/simulator.h"

#include "tools/modem-sim/state_file.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <unistd.h>

namespace modem_sim {
namespace {

// A modem's command buffer is small; a line that never ends is cut here.
constexpr size_t kMaxLine = 4096;
// How long one write may wait for a client that does not read.
constexpr int kWriteTimeoutMs = 2000;
// Closing a pty master throws away what the client has not read yet, which a
// real line drop would not do: wait (checking at this pace, up to this often)
// until the client has read the bytes sent before the drop.
constexpr int kDrainCheckMs = 10;
constexpr int kMaxDrainChecks = 200;

// The command text without the line ends around it, e.g. "ATV1" of "\rATV1\r".
std::string command_text(const std::string& chunk) {
    size_t first = chunk.find_first_not_of("\r\n");
    if (first == std::string::npos)
        return "";
    return trim(chunk.substr(first));
}

} // namespace

Simulator::Simulator(const Options& options, const Config& config)
    : options_(options), config_(config), state_(initial_state(config)), line_(options.link_path) {}

bool Simulator::start(std::string& error) {
    if (!options_.state_path.empty() && !load_state(options_.state_path, state_, error))
        return false;
    if (!options_.log_path.empty() && !log_.open(options_.log_path, error))
        return false;
    if (!options_.reply_log_path.empty() && !reply_log_.open(options_.reply_log_path, error))
        return false;
    if (!line_.open_line(error))
        return false;
    std::printf("ready %s\n", line_.slave_path().c_str());
    std::fflush(stdout);
    return true;
}

int Simulator::run(int stop_fd) {
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{stop_fd, POLLIN, 0}, {line_.master(), POLLIN, 0}};
        int ready = poll(fds, 2, poll_timeout());
        if (ready < 0 && errno != EINTR) {
            std::perror("modem-sim: poll");
            return 1;
        }
        if (fds[0].revents)
            return 0;
        if (fds[1].revents & POLLIN) {
            ssize_t n = read(line_.master(), buffer, sizeof buffer);
            if (n > 0)
                take_bytes(buffer, static_cast<size_t>(n));
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            hang_up(); // should not happen while the slave is held open; never spin on it
        }
        run_due_steps();
    }
}

void Simulator::stop() {
    line_.remove_link();
    line_.close_line();
}

void Simulator::take_bytes(const char* data, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        pending_.push_back(data[i]);
        bool line_end = data[i] == '\r';
        // Empty lines (a lone CR, as in the wake-up "\rATV1\r") stay part of
        // the next command.
        if ((line_end && !command_text(pending_).empty()) || pending_.size() >= kMaxLine) {
            std::string chunk;
            chunk.swap(pending_);
            handle_command(chunk);
        }
    }
}

void Simulator::handle_command(const std::string& chunk) {
    log_.record(chunk);
    std::string text = command_text(chunk);
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    ModemState before = state_;
    ModemState trial = state_;
    Answer answer = run_command_line(text, config_, trial);
    copy_file_for(answer.name);
    auto canned = config_.replies.find(answer.name);
    if (canned != config_.replies.end()) {
        schedule(canned_plan(canned->second));
        return;
    }
    const FaultSpec* fault = next_fault(answer.name);
    if (!fault || (!fault->error && !fault->silent))
        state_ = trial;
    std::string echo = before.echo ? chunk : "";
    schedule(build_plan(echo, answer, state_.verbose, fault, config_.split_gap_ms));
    save_if_changed(before);
}

// A copy of a client's file as a command arrives: what the client had
// written before it sent the command. A file that cannot be read or
// written leaves no copy, which the test then misses.
void Simulator::copy_file_for(const std::string& name) {
    auto copy = config_.copies.find(name);
    if (copy == config_.copies.end())
        return;
    std::ifstream from(copy->second.from, std::ios::binary);
    if (!from)
        return;
    std::ofstream to(copy->second.to, std::ios::binary | std::ios::trunc);
    to << from.rdbuf();
}

// The command's fault, if it applies to this occurrence of the command.
const FaultSpec* Simulator::next_fault(const std::string& name) {
    auto found = config_.faults.find(name);
    if (found == config_.faults.end())
        return nullptr;
    int index = fault_uses_[name]++;
    return found->second.applies_to(index) ? &found->second : nullptr;
}

// Replies go out in order: a step is due its delay after the one before.
void Simulator::schedule(const std::vector<Step>& steps) {
    Clock::time_point due = Clock::now();
    if (!queue_.empty() && queue_.back().due > due)
        due = queue_.back().due;
    for (const Step& step : steps) {
        due += std::chrono::milliseconds(step.delay_ms);
        queue_.push_back(Timed{due, step});
    }
    run_due_steps();
}

void Simulator::run_due_steps() {
    while (!queue_.empty() && queue_.front().due <= Clock::now()) {
        if (queue_.front().step.hangup && hang_up_later(queue_.front()))
            return;
        Step step = queue_.front().step;
        queue_.pop_front();
        if (!step.bytes.empty()) {
            if (write_all(line_.master(), step.bytes, kWriteTimeoutMs))
                reply_log_.record(step.bytes); // the stamp is the moment the client could read it
            else
                std::fprintf(stderr, "modem-sim: nobody reads the line; reply cut\n");
        }
        if (step.hangup) {
            hang_up();
            return;
        }
        if (step.unplug) {
            // The client that has the port open keeps it and gets the reply;
            // only new opens fail, as with a modem pulled out meanwhile.
            line_.remove_link();
            std::fprintf(stderr, "modem-sim: unplugged\n");
        }
    }
}

// The first check always waits once, so bytes still on their way through the
// pty are counted.
bool Simulator::hang_up_later(Timed& drop) {
    bool unread = drop.drain_checks == 0 || line_.unread_bytes() > 0;
    if (!unread || drop.drain_checks >= kMaxDrainChecks)
        return false;
    ++drop.drain_checks;
    drop.due = Clock::now() + std::chrono::milliseconds(kDrainCheckMs);
    return true;
}

int Simulator::poll_timeout() const {
    if (queue_.empty())
        return -1;
    auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(queue_.front().due - Clock::now());
    // Round up so the wake-up is never early (an early one would loop).
    return wait.count() < 0 ? 0 : static_cast<int>(wait.count()) + 1;
}

// Drops the line as a modem losing carrier would, then offers a fresh one at
// the same link so the next client open works.
void Simulator::hang_up() {
    queue_.clear();
    pending_.clear();
    std::string error;
    if (!line_.open_line(error)) {
        std::fprintf(stderr, "modem-sim: cannot reopen the line: %s\n", error.c_str());
        line_.close_line();
        return;
    }
    std::fprintf(stderr, "modem-sim: hung up; line now %s\n", line_.slave_path().c_str());
}

void Simulator::save_if_changed(const ModemState& before) {
    if (options_.state_path.empty() ||
        (before.country == state_.country && before.note == state_.note))
        return;
    std::string error;
    if (!save_state(options_.state_path, state_, error))
        std::fprintf(stderr, "modem-sim: %s\n", error.c_str());
}

} // namespace modem_sim
