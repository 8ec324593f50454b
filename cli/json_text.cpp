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

unsigned code_point(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        unsigned mapped = high_1252[byte - 0x80];
        return mapped != 0 ? mapped : 0xFFFD;
    }
    return byte;
}

} // namespace

std::string utf8_from_1252(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char byte : text) {
        append_utf8(out, code_point(byte));
    }
    return out;
}

std::string json_string(const std::string& text, bool from_1252) {
    std::string out = "\"";
    for (unsigned char byte : text) {
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
            if (byte < 0x20 || byte == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            } else if (from_1252) {
                append_utf8(out, code_point(byte));
            } else {
                out += static_cast<char>(byte);
            }
        }
    }
    return out + "\"";
}

} // namespace cli
