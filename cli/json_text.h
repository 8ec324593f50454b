// Texts for the outside world. The modem and the profile speak
// Windows-1252; what the command line writes is UTF-8.
#pragma once

#include <string>

namespace cli {

// Windows-1252 to UTF-8. The five codes the code page leaves unassigned
// become U+FFFD.
std::string utf8_from_1252(const std::string& text);

// UTF-8 to UTF-16, as a Windows console takes text whatever its code page.
// A byte that is not part of a valid sequence (an overlong form, a
// surrogate, past U+10FFFF, cut short) becomes U+FFFD.
std::u16string utf16_from_utf8(const std::string& text);

// A JSON string literal, quotes included, of a Windows-1252 text (from the
// modem or the profile), or of a text that is UTF-8 already (a path, a
// message of our own).
std::string json_string(const std::string& text, bool from_1252 = true);

} // namespace cli
