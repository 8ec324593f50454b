// The running modem: reads command lines from the pty, answers them on
// schedule, records them, and keeps its memory in the state file.
#pragma once

#include "tools/modem-sim/at_engine.h"
#include "tools/modem-sim/command_log.h"
#include "tools/modem-sim/pty_line.h"
#include "tools/modem-sim/reply_plan.h"
#include "tools/modem-sim/sim_config.h"

#include <chrono>
#include <deque>
#include <map>
#include <string>

namespace modem_sim {

struct Options {
    std::string link_path;
    std::string config_path;
    std::string log_path;
    std::string reply_log_path;
    std::string state_path;
};

class Simulator {
  public:
    Simulator(const Options& options, const Config& config);

    // Opens the line and the log; prints "ready <slave>" once listening.
    bool start(std::string& error);
    // Serves until `stop_fd` becomes readable (the signal pipe).
    int run(int stop_fd);
    // Removes the link (if still ours) and closes the line.
    void stop();

  private:
    using Clock = std::chrono::steady_clock;
    struct Timed {
        Clock::time_point due;
        Step step;
        int drain_checks = 0; // for a hang-up: how often the line was found unread
    };

    void take_bytes(const char* data, size_t count);
    void handle_command(const std::string& chunk);
    void copy_file_for(const std::string& name);
    const FaultSpec* next_fault(const std::string& name);
    void schedule(const std::vector<Step>& steps);
    void run_due_steps();
    bool hang_up_later(Timed& drop);
    int poll_timeout() const;
    void hang_up();
    void save_if_changed(const ModemState& before);

    Options options_;
    Config config_;
    ModemState state_;
    PtyLine line_;
    CommandLog log_;
    CommandLog reply_log_; // every write to the line, stamped once it returned
    std::string pending_;  // bytes since the end of the last command
    std::deque<Timed> queue_;
    std::map<std::string, int> fault_uses_; // occurrences seen, by command name
};

} // namespace modem_sim
