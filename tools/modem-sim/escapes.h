// Byte escapes shared by the scenario files, the state file and the command
// log, so that control bytes (CR, LF, NUL) can be written and read as text.
#pragma once

#include <string>

namespace modem_sim {

// Decodes a value: \r \n \t \0 \\ \{ \xHH, and X{N}, which repeats the byte
// before it so that X appears N times in all. Gives false (and a reason) for
// a malformed escape or repetition.
bool unescape_value(const std::string& text, std::string& out, std::string& error);

// Encodes bytes for one log line: printable ASCII as it is, \r and \n, every
// other byte (and the backslash and double quote) as \xHH.
std::string escape_bytes(const std::string& bytes);

// Like escape_bytes, and also safe to read back with unescape_value: braces
// and spaces at either end are written as \xHH.
std::string escape_value(const std::string& bytes);

} // namespace modem_sim
