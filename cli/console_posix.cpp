#include "cli/console.h"

#include <unistd.h>

namespace cli {

bool stderr_is_terminal() {
    return isatty(STDERR_FILENO) == 1;
}

ConsoleWrite write_console(bool, const std::string&) {
    return ConsoleWrite::not_console;
}

std::tm local_time(std::time_t seconds) {
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

} // namespace cli
