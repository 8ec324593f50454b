#include "common/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void platform_sink(const char* text) {
#ifdef _WIN32
    OutputDebugStringA(text);
#else
    // Natively the trace is silent unless asked for, so test output stays readable.
    static const bool wanted = std::getenv("TARVELLE_TRACE") != nullptr;
    if (wanted) {
        std::fputs(text, stderr);
    }
#endif
}

std::atomic<TraceSink> current_sink{platform_sink};

} // namespace

void trace(const char* text) {
    current_sink.load()(text);
}

void tracef(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    line[sizeof line - 1] = '\0';
    trace(line);
}

TraceSink set_trace_sink(TraceSink sink) {
    return current_sink.exchange(sink != nullptr ? sink : platform_sink);
}
