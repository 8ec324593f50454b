#include "common/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

size_t copy_text_n(char* field, size_t capacity, const char* source, size_t count) {
    if (capacity == 0) {
        return 0;
    }
    size_t length = 0;
    while (length < count && length + 1 < capacity && source[length] != '\0') {
        field[length] = source[length];
        ++length;
    }
    field[length] = '\0';
    return length;
}

size_t copy_text(char* field, size_t capacity, const char* source) {
    return copy_text_n(field, capacity, source, static_cast<size_t>(-1));
}

size_t format_text(char* field, size_t capacity, const char* format, ...) {
    if (capacity == 0) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    int wanted = std::vsnprintf(field, capacity, format, args);
    va_end(args);
    if (wanted < 0) {
        // Some C runtimes report a cut this way and leave the end unterminated.
        field[capacity - 1] = '\0';
        return std::strlen(field);
    }
    size_t written = static_cast<size_t>(wanted);
    return written < capacity ? written : capacity - 1;
}

char ascii_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equal_ignoring_case(const char* a, const char* b) {
    for (; *a != '\0' && ascii_upper(*a) == ascii_upper(*b); ++a, ++b) {
    }
    return ascii_upper(*a) == ascii_upper(*b);
}
