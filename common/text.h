// Bounded text helpers for the program's fixed-capacity fields. Every copy
// into such a field goes through these: a text that does not fit is cut on
// purpose at capacity - 1 and always terminated, never written past the end.
#pragma once

#include <cstddef>

// Copies `source` into `field` of `capacity` bytes; gives the length copied.
size_t copy_text(char* field, size_t capacity, const char* source);

// Copies at most `count` characters of `source` (stopping early at a NUL).
size_t copy_text_n(char* field, size_t capacity, const char* source, size_t count);

// printf-style into `field`; cut at capacity - 1. Gives the length written.
size_t format_text(char* field, size_t capacity, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Template forms for arrays, so the capacity can never be given wrongly.
template <size_t N> size_t copy_text(char (&field)[N], const char* source) {
    return copy_text(field, N, source);
}

// ASCII-only upper-casing: only a..z change, whatever the locale.
char ascii_upper(char c);

// Whole texts equal when ASCII letter case is ignored.
bool equal_ignoring_case(const char* a, const char* b);
