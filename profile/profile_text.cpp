#include "profile/profile_text.h"

#include "common/text.h"

#include <cstring>

namespace profile {
namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

struct Line {
    size_t start; // first byte
    size_t end;   // end of the text, before CR LF or LF
    size_t next;  // first byte of the next line
};

bool next_line(std::string_view text, size_t at, Line& line) {
    if (at >= text.size()) {
        return false;
    }
    size_t feed = text.find('\n', at);
    line.start = at;
    line.end = feed == std::string_view::npos ? text.size() : feed;
    line.next = feed == std::string_view::npos ? text.size() : feed + 1;
    if (line.end > line.start && text[line.end - 1] == '\r') {
        --line.end;
    }
    return true;
}

enum class Kind { Other, Section, Entry };

// One line taken apart: a section header with its name, or an entry with
// its key (`name`) and value; positions are offsets into the file text.
struct Parsed {
    Kind kind = Kind::Other;
    size_t name = 0;
    size_t name_length = 0;
    size_t value = 0;
    size_t value_length = 0;
};

void trim(std::string_view text, size_t& begin, size_t& end) {
    while (begin < end && is_blank(text[begin])) {
        ++begin;
    }
    while (end > begin && is_blank(text[end - 1])) {
        --end;
    }
}

// The first `wanted` in [begin, end), or end. Every lookup parses the file
// again, line by line, so this runs over most of its bytes each time.
size_t find_in_line(std::string_view text, size_t begin, size_t end, char wanted) {
    if (begin >= end) {
        return begin;
    }
    const void* found = std::memchr(text.data() + begin, wanted, end - begin);
    return found == nullptr ? end
                            : static_cast<size_t>(static_cast<const char*>(found) - text.data());
}

// What lies from `begin` to the first `stop` before `end` (or to `end`),
// without the blanks around it: its offset and length.
void take_trimmed(std::string_view text, size_t begin, size_t end, char stop, size_t& at,
                  size_t& length) {
    size_t until = find_in_line(text, begin, end, stop);
    trim(text, begin, until);
    at = begin;
    length = until - begin;
}

Parsed parse_line(std::string_view text, const Line& line) {
    Parsed parsed;
    size_t begin = line.start;
    size_t end = line.end;
    trim(text, begin, end);
    if (begin == end || text[begin] == ';') {
        return parsed;
    }
    if (text[begin] == '[') {
        parsed.kind = Kind::Section;
        take_trimmed(text, begin + 1, end, ']', parsed.name, parsed.name_length);
        return parsed;
    }
    size_t equals = find_in_line(text, begin, end, '=');
    size_t key_end = equals;
    trim(text, begin, key_end);
    // No '=', an empty key, or a key that no C text can name: not an entry.
    if (equals == end || key_end == begin || find_in_line(text, begin, key_end, '\0') != key_end) {
        return parsed;
    }
    parsed.kind = Kind::Entry;
    parsed.name = begin;
    parsed.name_length = key_end - begin;
    take_trimmed(text, equals + 1, end, '\0', parsed.value, parsed.value_length);
    return parsed;
}

bool same_name(std::string_view text, const Parsed& parsed, const char* name) {
    if (std::strlen(name) != parsed.name_length) {
        return false;
    }
    for (size_t i = 0; i < parsed.name_length; ++i) {
        if (ascii_upper(text[parsed.name + i]) != ascii_upper(name[i])) {
            return false;
        }
    }
    return true;
}

// Calls visit(line, parsed) for the header of the first section named
// `section` and for every line up to the next header, until visit gives
// false. Gives whether the section exists.
template <class Visit> bool walk_section(std::string_view text, const char* section, Visit visit) {
    bool inside = false;
    Line line{};
    for (size_t at = 0; next_line(text, at, line); at = line.next) {
        Parsed parsed = parse_line(text, line);
        if (parsed.kind == Kind::Section) {
            if (inside) {
                break;
            }
            inside = same_name(text, parsed, section);
        }
        if (inside && !visit(line, parsed)) {
            break;
        }
    }
    return inside;
}

int copy_value(std::string_view text, const char* section, const char* key, char* buffer,
               size_t size) {
    size_t copied = 0;
    walk_section(text, section, [&](const Line&, const Parsed& parsed) {
        if (parsed.kind != Kind::Entry || !same_name(text, parsed, key)) {
            return true;
        }
        copied = copy_text_n(buffer, size, text.data() + parsed.value, parsed.value_length);
        return false;
    });
    return static_cast<int>(copied);
}

int copy_key_list(std::string_view text, const char* section, char* buffer, size_t size) {
    size_t used = 0; // bytes written, each key with its zero byte
    walk_section(text, section, [&](const Line&, const Parsed& parsed) {
        if (parsed.kind != Kind::Entry) {
            return true;
        }
        size_t room = size - 1 - used; // everything but the list's final zero byte
        size_t keep = parsed.name_length < room ? parsed.name_length : (room > 0 ? room - 1 : 0);
        std::memcpy(buffer + used, text.data() + parsed.name, keep);
        used += keep;
        buffer[used] = '\0';
        if (keep < parsed.name_length) {
            buffer[size - 1] = '\0';
            return false; // the cut key ends the list
        }
        ++used;
        return true;
    });
    buffer[used < size ? used : size - 1] = '\0';
    return static_cast<int>(used);
}

const char* line_ending_of(std::string_view text) {
    size_t feed = text.find('\n');
    if (feed != std::string_view::npos && (feed == 0 || text[feed - 1] != '\r')) {
        return "\n";
    }
    return "\r\n";
}

// The file text with `key` set to `value` in `section`.
std::string with_entry(std::string_view text, const char* section, const char* key,
                       const char* value, size_t value_length) {
    const char* eol = line_ending_of(text);
    Line last{};  // the header or the last entry of the section
    Line found{}; // the key's line
    Parsed found_key;
    bool section_found = walk_section(text, section, [&](const Line& line, const Parsed& parsed) {
        if (parsed.kind == Kind::Other) {
            return true;
        }
        last = line;
        if (parsed.kind == Kind::Entry && same_name(text, parsed, key)) {
            found = line;
            found_key = parsed;
            return false;
        }
        return true;
    });

    std::string out;
    out.reserve(text.size() + std::strlen(section) + std::strlen(key) + value_length + 8);
    if (found_key.kind == Kind::Entry) {
        // Keep the line's own spelling of the key and its line ending.
        out.append(text, 0, found_key.name + found_key.name_length);
        out.append("=").append(value, value_length);
        out.append(text, found.end, std::string_view::npos);
        return out;
    }
    size_t insert_at = section_found ? last.next : text.size();
    out.append(text, 0, insert_at);
    if (insert_at > 0 && text[insert_at - 1] != '\n') {
        out.append(eol);
    }
    if (!section_found) {
        out.append("[").append(section).append("]").append(eol);
    }
    out.append(key).append("=").append(value, value_length).append(eol);
    out.append(text, insert_at, std::string_view::npos);
    return out;
}

bool has_any(const char* text, const char* characters) {
    return text[std::strcspn(text, characters)] != '\0';
}

// Names that a written line could not give back unchanged are refused.
bool writable_name(const char* name) {
    size_t length = std::strlen(name);
    return length > 0 && !is_blank(name[0]) && !is_blank(name[length - 1]) &&
           !has_any(name, "\r\n");
}

} // namespace

int read_profile_text(std::string_view text, const char* section, const char* key, char* buffer,
                      size_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    buffer[0] = '\0';
    if (key == nullptr && size > 1) {
        buffer[1] = '\0';
    }
    if (section == nullptr || (key != nullptr && key[0] == '\0')) {
        return 0;
    }
    return key == nullptr ? copy_key_list(text, section, buffer, size)
                          : copy_value(text, section, key, buffer, size);
}

bool entry_can_be_written(const char* section, const char* key) {
    return section != nullptr && key != nullptr && writable_name(section) &&
           !has_any(section, "]") && writable_name(key) && !has_any(key, "=") && key[0] != '[' &&
           key[0] != ';';
}

std::string profile_text_with(std::string_view text, const char* section, const char* key,
                              const char* value) {
    // A line break inside the value would split it into lines of its own.
    return with_entry(text, section, key, value, std::strcspn(value, "\r\n"));
}

namespace {

std::string upper_key(const char* key) {
    std::string upper(key);
    for (char& c : upper) {
        c = ascii_upper(c);
    }
    return upper;
}

} // namespace

SectionValues::SectionValues(std::string_view text, const char* section) {
    // A key list or a value is never longer than the text it comes from.
    std::string keys(text.size() + 2, '\0');
    std::string value(text.size() + 1, '\0');
    read_profile_text(text, section, nullptr, keys.data(), keys.size());
    for (const char* key = keys.data(); *key != '\0'; key += std::strlen(key) + 1) {
        if (values_.count(upper_key(key)) == 0 &&
            read_profile_text(text, section, key, value.data(), value.size()) > 0) {
            values_[upper_key(key)] = value.c_str();
        }
    }
}

const std::string* SectionValues::find(const char* key) const {
    const auto found = values_.find(upper_key(key));
    return found != values_.end() ? &found->second : nullptr;
}

void SectionValues::set(const char* key, const std::string& value) {
    if (value.empty()) {
        values_.erase(upper_key(key));
    } else {
        values_[upper_key(key)] = value;
    }
}

} // namespace profile
