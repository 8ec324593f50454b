#include "tools/modem-sim/command_log.h"

#include "tools/modem-sim/escapes.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/time.h>

namespace modem_sim {

CommandLog::~CommandLog() {
    if (file_)
        std::fclose(file_);
}

bool CommandLog::open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "w");
    if (!file_)
        error = "cannot write " + path + ": " + std::strerror(errno);
    return file_ != nullptr;
}

void CommandLog::record(const std::string& command) {
    if (!file_)
        return;
    std::string line = log_line(command);
    std::fprintf(file_, "%s\n", line.c_str());
    std::fflush(file_);
}

std::string log_line(const std::string& command) {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[48];
    size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(stamp + length, sizeof stamp - length, ".%06ld", static_cast<long>(now.tv_usec));
    return std::string(stamp) + " \"" + escape_bytes(command) + "\"";
}

} // namespace modem_sim
