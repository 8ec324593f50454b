// Collects trace lines while it lives, from any thread.
#pragma once

#include "common/trace.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace fake {

class TraceCapture {
  public:
    TraceCapture() {
        clear();
        set_trace_sink([](const char* text) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.emplace_back(text);
        });
    }
    ~TraceCapture() { set_trace_sink(nullptr); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    int count(const std::string& line) const { // lines equal to `line`
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(std::count(lines_.begin(), lines_.end(), line));
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

  private:
    static inline std::mutex mutex_;
    static inline std::vector<std::string> lines_;
};

} // namespace fake
