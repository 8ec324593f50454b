// The running program's file name, from the platform.
#pragma once

#include <cstddef>

namespace profile {

// Fills `out` with the program file's full path. Gives 0 with `out` empty
// when it cannot be had whole.
int query_program_path(char* out, size_t capacity);

} // namespace profile
