// A simulated modem process for the serial tests: started on a scenario, it
// links a pseudo-terminal at a path of its own, and its port lookup sends
// every COM port there.
#pragma once

#include <cstddef>
#include <cstdint>
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
    void point_ports_here(); // the latest modem made, until another one calls it
    // A slot's path_lookup: every COM port is the pointed modem's line.
    static void lookup(uint8_t port, char* path, size_t capacity);

  private:
    std::string dir_;
    std::string link_;
    pid_t pid_ = -1;
    int output_ = -1;
    std::string pending_;
    bool ready_ = false;
};
