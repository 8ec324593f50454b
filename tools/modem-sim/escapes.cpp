#include "tools/modem-sim/escapes.h"

#include <cstdio>

namespace modem_sim {
namespace {

// Upper bound for one repetition, so a typo cannot eat the machine's memory.
constexpr unsigned long kMaxRepeat = 1000000;

int hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the escape that starts at text[i] (a backslash); gives its byte and
// moves i past it.
bool read_escape(const std::string& text, size_t& i, char& byte, std::string& error) {
    if (i + 1 >= text.size()) {
        error = "backslash at the end of the value";
        return false;
    }
    char kind = text[i + 1];
    i += 2;
    switch (kind) {
    case 'r':
        byte = '\r';
        return true;
    case 'n':
        byte = '\n';
        return true;
    case 't':
        byte = '\t';
        return true;
    case '0':
        byte = '\0';
        return true;
    case '\\':
    case '{':
    case '}':
        byte = kind;
        return true;
    case 'x': {
        int high = i < text.size() ? hex_digit(text[i]) : -1;
        int low = i + 1 < text.size() ? hex_digit(text[i + 1]) : -1;
        if (high < 0 || low < 0) {
            error = "\\x needs two hex digits";
            return false;
        }
        byte = static_cast<char>(high * 16 + low);
        i += 2;
        return true;
    }
    default:
        error = std::string("unknown escape \\") + kind;
        return false;
    }
}

// Reads "{N}" at text[i]; gives N and moves i past the closing brace.
bool read_repeat(const std::string& text, size_t& i, unsigned long& count, std::string& error) {
    size_t close = text.find('}', i);
    if (close == std::string::npos || close == i + 1) {
        error = "a repetition is {N}; write \\{ for a brace";
        return false;
    }
    count = 0;
    for (size_t k = i + 1; k < close; ++k) {
        int digit = text[k] >= '0' && text[k] <= '9' ? text[k] - '0' : -1;
        if (digit < 0 || count > kMaxRepeat) {
            error = "a repetition is {N}; write \\{ for a brace";
            return false;
        }
        count = count * 10 + static_cast<unsigned long>(digit);
    }
    if (count == 0 || count > kMaxRepeat) {
        error = "a repetition count runs from 1 to 1000000";
        return false;
    }
    i = close + 1;
    return true;
}

std::string hex_escape(unsigned char byte) {
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    return text;
}

} // namespace

bool unescape_value(const std::string& text, std::string& out, std::string& error) {
    out.clear();
    bool have_byte = false;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\\') {
            char byte = 0;
            if (!read_escape(text, i, byte, error))
                return false;
            out.push_back(byte);
            have_byte = true;
        } else if (c == '{') {
            unsigned long count = 0;
            if (!have_byte) {
                error = "a repetition {N} must follow a byte";
                return false;
            }
            if (!read_repeat(text, i, count, error))
                return false;
            out.append(count - 1, out.back());
            have_byte = false; // "A{2}{3}" would be ambiguous; refuse it
        } else if (c == '}') {
            error = "unmatched }; write \\} for a brace";
            return false;
        } else {
            out.push_back(c);
            have_byte = true;
            ++i;
        }
    }
    return true;
}

std::string escape_bytes(const std::string& bytes) {
    std::string text;
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (byte < 0x20 || byte >= 0x7F || c == '\\' || c == '"')
            text += hex_escape(byte);
        else
            text.push_back(c);
    }
    return text;
}

std::string escape_value(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        bool edge_space = c == ' ' && (i == 0 || i + 1 == bytes.size());
        if (c == '{' || c == '}' || edge_space)
            text += hex_escape(static_cast<unsigned char>(c));
        else
            text += escape_bytes(std::string(1, c));
    }
    return text;
}

} // namespace modem_sim
