#include "cli/console.h"

#include <cstdio>
#include <io.h>

namespace cli {

bool stderr_is_terminal() {
    return _isatty(_fileno(stderr)) != 0;
}

std::tm local_time(std::time_t seconds) {
    std::tm local{};
    localtime_s(&local, &seconds);
    return local;
}

} // namespace cli
