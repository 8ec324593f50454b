// Where the command line writes: results on stdout, messages on stderr.
// When the reader of either has gone (a pipe closed early), a write fails
// rather than killing the program: the failure is remembered, and the
// command ends as for SIGPIPE, with the port and its locks released.
#pragma once

#include <string>

namespace cli {

// Callable from any thread.
void write_out(const std::string& text);
void write_err(const std::string& text);

// Pushes out what stdout still holds.
void flush_output();

// Whether a write has failed since the program started.
bool output_lost();

// A trace line of the core (TARVELLE_TRACE) on stderr. The core's texts are
// Windows-1252, as its lines are on Windows, and they carry the modem's
// answers and the profile's text: converted, then escaped as any text for
// a person is.
void trace_on_stderr(const char* line);

} // namespace cli
