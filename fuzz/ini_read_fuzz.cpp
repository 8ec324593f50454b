// The profile reader on arbitrary file bytes: every query, for a value or
// for a key list, with any buffer size, stays inside its buffer, ends, and
// gives back an answer of the promised shape.
#include "fuzz/fuzz_input.h"
#include "profile/profile_text.h"

#include <cstring>
#include <memory>

using profile::read_profile_text;

namespace {

// The query's own buffer of exactly `size` bytes, so a write past it is caught.
struct Answer {
    explicit Answer(size_t size) : bytes(new char[size]), size(size) {}
    std::unique_ptr<char[]> bytes;
    size_t size;
};

void check_value(std::string_view text, const char* section, const char* key, size_t size) {
    Answer answer(size);
    int length = read_profile_text(text, section, key, answer.bytes.get(), size);
    FUZZ_CHECK(length >= 0 && static_cast<size_t>(length) < size);
    FUZZ_CHECK(answer.bytes[length] == '\0' && std::strlen(answer.bytes.get()) == size_t(length));
}

// Gives the list so that its keys can be queried in turn.
std::string check_key_list(std::string_view text, const char* section, size_t size) {
    Answer answer(size);
    int length = read_profile_text(text, section, nullptr, answer.bytes.get(), size);
    FUZZ_CHECK(length >= 0 && static_cast<size_t>(length) < size);
    // Keys each end in a zero byte and one more ends the list; the length
    // leaves out that last one, and a key cut at the end counts without
    // its own, so the two zero bytes stand either side of the length.
    FUZZ_CHECK(answer.bytes[length] == '\0');
    FUZZ_CHECK(length == 0 || answer.bytes[length - 1] == '\0' ||
               (static_cast<size_t>(length) + 1 < size && answer.bytes[length + 1] == '\0'));
    return std::string(answer.bytes.get(), static_cast<size_t>(length));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    size_t buffer_size = 1 + input.byte(); // 1 to 256
    std::string section = input.text();
    std::string key = input.text();
    // The file's bytes in a block of their own size.
    std::string_view rest = input.rest();
    std::unique_ptr<char[]> file(new char[rest.size() + 1]);
    std::memcpy(file.get(), rest.data(), rest.size());
    std::string_view text(file.get(), rest.size());

    // The program's own queries, then the fuzzer's, with its buffer size.
    check_key_list(text, "tolvx", 200);
    check_value(text, "tolvx", key.c_str(), 100);
    check_value(text, section.c_str(), key.c_str(), buffer_size);
    std::string keys = check_key_list(text, section.c_str(), buffer_size);
    for (size_t at = 0; at < keys.size(); at += std::strlen(keys.c_str() + at) + 1) {
        check_value(text, section.c_str(), keys.c_str() + at, buffer_size);
    }
    return 0;
}
