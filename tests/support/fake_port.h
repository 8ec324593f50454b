// A serial port for unit tests, linked in place of the serial library. It
// records what is written and how often the port is created, opened and
// closed. While "open" it runs a receive thread that hands the blocks a test
// delivers to the session's data callback, one at a time, each followed by a
// NUL, as the real receive thread does. Closing waits for that thread while
// handling the dialog thread's sent calls, as the shell's close does.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace fake {

class FakePort {
  public:
    // Closes the port if open, forgets every record and restores the defaults
    // (create and open succeed, no responder).
    void reset();

    void set_create_result(int result); // 1, or -1
    void set_open_result(int result);   // 1, or 0
    // Decides per COM port whether opening succeeds (with set_open_result 1);
    // it is called with the port of every open, in order.
    void set_open_filter(std::function<bool(int port)> filter);

    // Called on the writing thread with every write, after it is recorded;
    // typically it delivers the modem's answer.
    void set_responder(std::function<void(const std::string& written)> responder);

    // Queues a block for the receive thread; dropped if the port is not open.
    void deliver(const std::string& block);
    // Until every block delivered so far has been handed over and returned.
    bool wait_delivered(std::chrono::milliseconds safety = std::chrono::seconds(20));

    std::vector<std::string> writes() const;
    int created() const;
    int opened() const;
    int closed() const;
    int last_port() const;      // COM port of the last port_create
    int last_low_speed() const; // its low_speed argument
    bool receiving() const;     // the receive thread runs
};

FakePort& fake_port();

} // namespace fake
