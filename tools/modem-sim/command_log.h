// A log of bytes on the line (the commands received, or the writes sent):
// one line each, time-stamped, bytes escaped, flushed at once so a test can
// read it while the modem runs.
#pragma once

#include <cstdio>
#include <string>

namespace modem_sim {

class CommandLog {
  public:
    CommandLog() = default;
    ~CommandLog();
    CommandLog(const CommandLog&) = delete;
    CommandLog& operator=(const CommandLog&) = delete;

    bool open(const std::string& path, std::string& error);
    void record(const std::string& command);

  private:
    FILE* file_ = nullptr;
};

// `2026-12-06T19:40:01.123456 "\rATV1\r"` for the bytes given, stamped now.
std::string log_line(const std::string& command);

} // namespace modem_sim
