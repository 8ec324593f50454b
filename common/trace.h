// Diagnostic trace lines. On Windows they go to the debugger output channel
// (OutputDebugStringA); natively they go wherever the installed sink says,
// which is how tests read them. Every subsystem traces through here, so no
// call site formats its own error text.
#pragma once

using TraceSink = void (*)(const char* text);

// Writes `text` exactly as given (trailing line feed included by the caller).
void trace(const char* text);

// printf-style; the result is cut at 511 characters, never overflowed.
void tracef(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Replaces the sink; nullptr restores the platform default. Returns the old one.
TraceSink set_trace_sink(TraceSink sink);
