#include "fuzz/fuzz_input.h"

#include <cstdio>
#include <cstdlib>

void fuzz_check_failed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, condition);
    std::abort();
}
