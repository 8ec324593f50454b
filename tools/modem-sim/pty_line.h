// The simulated modem's end of the line: a pseudo-terminal master, with a
// link at a fixed path to its slave, which the clients open as their port.
#pragma once

#include <string>

namespace modem_sim {

class PtyLine {
  public:
    explicit PtyLine(std::string link_path) : link_path_(std::move(link_path)) {}
    ~PtyLine() { close_line(); }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Opens a new pty and points the link at its slave; a line opened
    // before is closed once the link has moved.
    bool open_line(std::string& error);
    // Closes the master: any client that has the slave open sees a hang-up.
    void close_line();
    // Removes the link if it still points at this line's slave.
    void remove_link();

    // Bytes the line holds that no client has read yet.
    int unread_bytes() const;

    int master() const { return master_; }
    const std::string& slave_path() const { return slave_path_; }

  private:
    bool relink(std::string& error);

    std::string link_path_;
    std::string slave_path_;
    int master_ = -1;
    // Held open so that the master never sees a hang-up (and poll() never
    // spins on POLLHUP) while no client has the port open.
    int slave_ = -1;
};

// Writes all of `bytes`, waiting up to `timeout_ms` for room when the line is
// full. Gives false when the rest could not be written in time.
bool write_all(int fd, const std::string& bytes, int timeout_ms);

} // namespace modem_sim
