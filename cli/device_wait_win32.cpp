#include "cli/device_wait.h"

#include "cli/conversation_loop.h"

namespace cli {

// Windows tells a window, not a console program, of a new COM port
// (WM_DEVICECHANGE), so the command line simply waits out the pause.
DeviceWatch::DeviceWatch(const std::vector<std::string>&) {}

DeviceWatch::~DeviceWatch() = default;

bool DeviceWatch::wait(ConversationLoop& loop, int milliseconds) {
    loop.pause(milliseconds);
    return false;
}

bool DeviceWatch::watch_folders() {
    return false;
}

bool DeviceWatch::awaited_change() {
    return false;
}

} // namespace cli
