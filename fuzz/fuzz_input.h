// Takes a fuzzer's bytes apart into the pieces a target needs: single bytes,
// zero-terminated texts and blocks. Running out of bytes gives zeros and
// empty texts, so every input, however short, is a complete case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size)
        : data_(reinterpret_cast<const char*>(data)), left_(size) {}

    uint8_t byte() {
        if (left_ == 0) {
            return 0;
        }
        --left_;
        return static_cast<uint8_t>(*data_++);
    }
    // The bytes up to the next zero byte, which is consumed too.
    std::string text() {
        size_t length = 0;
        while (length < left_ && data_[length] != '\0') {
            ++length;
        }
        std::string taken(data_, length);
        size_t used = length < left_ ? length + 1 : length;
        data_ += used;
        left_ -= used;
        return taken;
    }
    // At most `count` bytes.
    std::string_view block(size_t count) {
        size_t length = count < left_ ? count : left_;
        std::string_view taken(data_, length);
        data_ += length;
        left_ -= length;
        return taken;
    }
    std::string_view rest() { return block(left_); }
    bool empty() const { return left_ == 0; }

  private:
    const char* data_;
    size_t left_;
};

// libFuzzer's entry point, which the replay main calls as well.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Stops the run with a message when a property does not hold. A failed
// check is a finding, like a sanitizer's report.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fuzz_check_failed(#condition, __FILE__, __LINE__);                                     \
        }                                                                                          \
    } while (false)

[[noreturn]] void fuzz_check_failed(const char* condition, const char* file, int line);
