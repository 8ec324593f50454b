#include "cli/json_text.h"

#include <cstdio>

namespace cli {
namespace {

// Code points of 0x80..0x9F in Windows-1252; 0 where the code page has none.
const unsigned short high_1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void append_utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool is_control(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

// A control byte as the four characters "\x1b": a terminal shows it and acts
// on none of them.
void append_visible(std::string& out, unsigned char byte) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    out += escaped;
}

// The length of the well-formed UTF-8 sequence at `at`, or 0 for a byte that
// starts none (a stray continuation, an overlong form, a surrogate, past
// U+10FFFF, or cut short by the end).
size_t utf8_sequence(const unsigned char* at, size_t left) {
    const unsigned char lead = at[0];
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length || at[1] < low || at[1] > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (at[i] < 0x80 || at[i] > 0xBF) {
            return 0;
        }
    }
    return length;
}

unsigned code_point(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        unsigned mapped = high_1252[byte - 0x80];
        return mapped != 0 ? mapped : 0xFFFD;
    }
    return byte;
}

} // namespace

std::u16string utf16_from_utf8(const std::string& text) {
    static const char32_t SHORTEST[] = {0, 0, 0x80, 0x800, 0x10000}; // by sequence length
    std::u16string wide;
    wide.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t length = lead < 0x80             ? 1
                              : (lead & 0xE0) == 0xC0 ? 2
                              : (lead & 0xF0) == 0xE0 ? 3
                              : (lead & 0xF8) == 0xF0 ? 4
                                                      : 0;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length > 0 && at + length <= text.size();
        for (size_t i = 1; valid && i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        valid = valid && code >= SHORTEST[length] && code <= 0x10FFFF &&
                (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            wide += u'\uFFFD';
            ++at;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            wide += static_cast<char16_t>(0xD800 + (code >> 10));
            wide += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            wide += static_cast<char16_t>(code);
        }
        at += length;
    }
    return wide;
}

namespace {

// The code point of the well-formed sequence of `length` bytes at `at`.
unsigned decoded(const unsigned char* at, size_t length) {
    unsigned code = length == 1 ? at[0] : at[0] & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        code = (code << 6) | (at[i] & 0x3F);
    }
    return code;
}

// Characters that work a terminal or the order in which it draws text,
// without being seen: the C1 controls (0x9B is CSI on a console that is not
// in UTF-8 mode) and the bidirectional embeddings, overrides and isolates,
// which turn the text that follows around.
bool is_hidden_control(unsigned code) {
    return (code >= 0x80 && code <= 0x9F) || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

// A UTF-8 text with every control shown as its escape, the rest as it
// stands: "\x1b" for a C0 control or DEL, "\u202e" for a C1 control or a
// bidirectional control (which is a JSON string's own escape too, so a
// JSON line stays valid), "\xff" for a byte that is no part of a
// well-formed sequence.
std::string escaped_utf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t at = 0; at < text.size();) {
        const size_t length = utf8_sequence(bytes + at, text.size() - at);
        if (length == 0 || (length == 1 && is_control(bytes[at]))) {
            append_visible(out, bytes[at]);
            ++at;
            continue;
        }
        const unsigned code = decoded(bytes + at, length);
        if (is_hidden_control(code)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
            out += escaped;
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
    return out;
}

} // namespace

std::string utf8_from_1252(const std::string& text) {
    // Windows-1252 gives 0x80..0x9F to characters (the euro sign, quotes,
    // letters with a caron): converted first, they are no controls.
    std::string converted;
    converted.reserve(text.size());
    for (unsigned char byte : text) {
        append_utf8(converted, code_point(byte));
    }
    return escaped_utf8(converted);
}

std::string visible_text(const std::string& text) {
    return escaped_utf8(text);
}

std::string json_string(const std::string& text, bool from_1252) {
    std::string out = "\"";
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t at = 0; at < text.size(); ++at) {
        const unsigned char byte = bytes[at];
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (is_control(byte)) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else if (from_1252) {
                append_utf8(out, code_point(byte));
            } else if (const size_t length = utf8_sequence(bytes + at, text.size() - at)) {
                out.append(text, at, length);
                at += length - 1;
            } else {
                append_utf8(out, 0xFFFD); // a byte of some other encoding
            }
        }
    }
    return out + "\"";
}

} // namespace cli
