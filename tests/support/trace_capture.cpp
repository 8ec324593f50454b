#include "tests/support/trace_capture.h"

#include "common/trace.h"

#include <algorithm>
#include <mutex>

namespace fake {
namespace {

std::mutex captured_mutex;
std::vector<std::string> captured;

void capture(const char* text) {
    std::lock_guard<std::mutex> lock(captured_mutex);
    captured.emplace_back(text);
}

} // namespace

TraceCapture::TraceCapture() {
    clear();
    set_trace_sink(capture);
}

TraceCapture::~TraceCapture() {
    set_trace_sink(nullptr);
}

std::vector<std::string> TraceCapture::lines() const {
    std::lock_guard<std::mutex> lock(captured_mutex);
    return captured;
}

int TraceCapture::count(const std::string& line) const {
    std::lock_guard<std::mutex> lock(captured_mutex);
    return static_cast<int>(std::count(captured.begin(), captured.end(), line));
}

void TraceCapture::clear() {
    std::lock_guard<std::mutex> lock(captured_mutex);
    captured.clear();
}

} // namespace fake
