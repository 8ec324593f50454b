// Texts for the outside world. The modem and the profile speak
// Windows-1252; what the command line writes is UTF-8.
#pragma once

#include <string>

namespace cli {

// Windows-1252 to UTF-8, for a person to read. The five codes the code page
// leaves unassigned become U+FFFD; control characters are then shown as
// visible_text shows them, so that a device's answer cannot work the terminal.
std::string utf8_from_1252(const std::string& text);

// The UTF-8 `text` as a terminal may be given it: a C0 control or DEL shown
// as "\x1b", a C1 control or a bidirectional control (U+202A..U+202E,
// U+2066..U+2069) as "\u202e", a byte that is not UTF-8 as "\xff"; the
// rest as it stands. A last pass over every line and message meant for a
// terminal, and over a process's name, which its owner chooses freely.
std::string visible_text(const std::string& text);

// UTF-8 to UTF-16, as a Windows console takes text whatever its code page.
// A byte that is not part of a valid sequence (an overlong form, a
// surrogate, past U+10FFFF, cut short) becomes U+FFFD.
std::u16string utf16_from_utf8(const std::string& text);

// A JSON string literal, quotes included, of a Windows-1252 text (from the
// modem or the profile), or of a text that is UTF-8 already (a path, a
// message of our own). In a UTF-8 text, a byte that is no part of a
// well-formed sequence (an argument typed in Latin-1) becomes U+FFFD.
std::string json_string(const std::string& text, bool from_1252 = true);

} // namespace cli
