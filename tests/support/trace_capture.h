// Collects trace lines while it lives, from any thread.
#pragma once

#include <string>
#include <vector>

namespace fake {

class TraceCapture {
  public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::vector<std::string> lines() const;
    int count(const std::string& line) const; // lines equal to `line`
    void clear();
};

} // namespace fake
