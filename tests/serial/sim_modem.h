// A simulated modem process for the serial tests: started on a scenario, it
// links a pseudo-terminal at a path of its own, and the port lookup sends
// every COM port there.
#pragma once

#include <string>
#include <sys/types.h>

class SimModem {
  public:
    explicit SimModem(const std::string& scenario);
    ~SimModem();
    SimModem(const SimModem&) = delete;
    SimModem& operator=(const SimModem&) = delete;

    bool ready() const { return ready_; }
    const std::string& link() const { return link_; }
    // Reads the simulator's output until a line holding `prefix`.
    bool wait_for_line(const std::string& prefix);
    void point_ports_here();

  private:
    std::string dir_;
    std::string link_;
    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
    bool ready_ = false;
};
