#include "profile/program_path.h"

#include <unistd.h>

namespace profile {

int query_program_path(char* out, size_t capacity) {
    ssize_t got = readlink("/proc/self/exe", out, capacity - 1);
    if (got <= 0 || static_cast<size_t>(got) >= capacity - 1) {
        out[0] = '\0';
        return 0;
    }
    out[got] = '\0';
    return 1;
}

} // namespace profile
