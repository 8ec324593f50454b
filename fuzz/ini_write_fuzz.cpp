// The profile writer as a property: an accepted key and value written into
// any file read back as that value, and every line but the written one (and
// the section header and line break added when they were missing) stays
// byte for byte as it was.
#include "fuzz/fuzz_input.h"
#include "common/text.h"
#include "profile/profile_text.h"

#include <cstring>
#include <memory>
#include <vector>

using profile::entry_can_be_written;
using profile::profile_text_with;
using profile::read_profile_text;

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// A value the reader gives back unchanged: no line break, no blank at either end.
bool plain_value(const std::string& value) {
    return value.find_first_of("\r\n") == std::string::npos &&
           (value.empty() || (!is_blank(value.front()) && !is_blank(value.back())));
}

// The file's lines, each with its line feed (the last may have none).
std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t at = 0; at < text.size();) {
        size_t feed = text.find('\n', at);
        size_t next = feed == std::string_view::npos ? text.size() : feed + 1;
        lines.push_back(text.substr(at, next - at));
        at = next;
    }
    return lines;
}

bool is_line_ending(std::string_view ending) {
    return ending == "\n" || ending == "\r\n";
}

// A line that the write added: "<key>=<value>" and a line ending.
bool is_added_entry(std::string_view line, const std::string& key, const std::string& value) {
    std::string head = key + "=" + value;
    return line.substr(0, head.size()) == head && is_line_ending(line.substr(head.size()));
}

bool is_added_header(std::string_view line, const std::string& section) {
    std::string head = "[" + section + "]";
    return line.substr(0, head.size()) == head && is_line_ending(line.substr(head.size()));
}

// The key's old line rewritten: its own spelling of the key (blanks before
// it kept), then "=" and the value, then the old line's ending.
bool is_rewritten_entry(std::string_view old_line, std::string_view new_line,
                        const std::string& key, const std::string& value) {
    size_t equals = old_line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    size_t key_start = 0;
    while (key_start < equals && is_blank(old_line[key_start])) {
        ++key_start;
    }
    size_t key_end = key_start + key.size();
    if (key_end > equals ||
        !equal_ignoring_case(std::string(old_line.substr(key_start, key.size())).c_str(),
                             key.c_str())) {
        return false;
    }
    for (size_t i = key_end; i < equals; ++i) {
        if (!is_blank(old_line[i])) {
            return false;
        }
    }
    // The line's ending: its line feed, and a carriage return before it or,
    // on a last line without one, at its end.
    size_t content_end = old_line.size();
    if (content_end > 0 && old_line[content_end - 1] == '\n') {
        --content_end;
    }
    if (content_end > 0 && old_line[content_end - 1] == '\r') {
        --content_end;
    }
    std::string expected(old_line.substr(0, key_end));
    expected.append("=").append(value).append(old_line.substr(content_end));
    return new_line == expected;
}

// The lines between the unchanged start and the unchanged end of the file
// must be exactly one of the changes a write may make.
void check_other_lines_kept(std::string_view before, std::string_view after,
                            const std::string& section, const std::string& key,
                            const std::string& value) {
    std::vector<std::string_view> old_lines = lines_of(before);
    std::vector<std::string_view> new_lines = lines_of(after);
    size_t head = 0;
    while (head < old_lines.size() && head < new_lines.size() &&
           old_lines[head] == new_lines[head]) {
        ++head;
    }
    size_t tail = 0;
    while (tail < old_lines.size() - head && tail < new_lines.size() - head &&
           old_lines[old_lines.size() - 1 - tail] == new_lines[new_lines.size() - 1 - tail]) {
        ++tail;
    }
    std::vector<std::string_view> removed(old_lines.begin() + head, old_lines.end() - tail);
    std::vector<std::string_view> added(new_lines.begin() + head, new_lines.end() - tail);

    if (removed.empty() && added.empty()) {
        return; // the key's line held this very value already
    }
    if (removed.size() == 1 && added.size() == 1 &&
        is_rewritten_entry(removed[0], added[0], key, value)) {
        return;
    }
    // Otherwise the entry was added, after a new header if the section was
    // missing; a last line without its line feed gets one first.
    size_t at = 0;
    if (removed.size() == 1) {
        FUZZ_CHECK(tail == 0 && !added.empty() && added[0].size() > removed[0].size() &&
                   added[0].substr(0, removed[0].size()) == removed[0] &&
                   removed[0].back() != '\n' && is_line_ending(added[0].substr(removed[0].size())));
        at = 1;
    } else {
        FUZZ_CHECK(removed.empty());
    }
    if (added.size() - at == 2) {
        FUZZ_CHECK(is_added_header(added[at], section));
        ++at;
    }
    FUZZ_CHECK(added.size() - at == 1 && is_added_entry(added[at], key, value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    std::string section = input.text();
    std::string key = input.text();
    std::string value = input.text();
    std::string_view before = input.rest();
    if (!entry_can_be_written(section.c_str(), key.c_str()) || !plain_value(value)) {
        return 0; // the writer refuses these, or the reader would not give them back
    }
    std::string after = profile_text_with(before, section.c_str(), key.c_str(), value.c_str());

    std::unique_ptr<char[]> read_back(new char[value.size() + 2]);
    int length =
        read_profile_text(after, section.c_str(), key.c_str(), read_back.get(), value.size() + 2);
    FUZZ_CHECK(std::string(read_back.get(), static_cast<size_t>(length)) == value);
    check_other_lines_kept(before, after, section, key, value);
    return 0;
}
