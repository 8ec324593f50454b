// A serial port for unit tests, linked in place of the serial library. It
// records writes and closes. While open, a receive thread hands each block a
// test delivers to the data callback, NUL-terminated, as the real one does.
// Closing waits for it while handling the dialog thread's sent calls.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace fake {

class FakePort {
  public:
    // Closes the port if open, forgets every record, filter and responder.
    void reset();

    // Decides per COM port whether opening succeeds; it is called with the
    // port of every open, in order. Without one, every open succeeds.
    void set_open_filter(std::function<bool(int port)> filter);
    // Called on the writing thread with every write, after it is recorded;
    // typically it delivers the modem's answer.
    void set_responder(std::function<void(const std::string& written)> responder);

    // From now on every write is refused with the system error `error`
    // (0: taken again), and neither recorded nor answered.
    void refuse_writes(int error);

    // Queues a block for the receive thread; dropped if the port is not open.
    void deliver(const std::string& block);
    // Until every block delivered so far has been handed over and returned.
    bool wait_delivered(std::chrono::milliseconds safety = std::chrono::seconds(20));

    std::vector<std::string> writes() const;
    int closed() const;
    int last_port() const;  // COM port of the last port_create
    bool receiving() const; // the receive thread runs
};

FakePort& fake_port();

} // namespace fake
