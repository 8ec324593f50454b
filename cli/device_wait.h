// What reapply --wait waits on between tries for its modem. On Linux a
// device that appears wakes it at once: the folder that will hold the
// device is watched (/dev, /dev/serial/by-id), or, while that folder does
// not exist yet, the nearest one above it that does. Where no such events
// come, and on Windows, the wait is a plain pause.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace cli {

class ConversationLoop;

class DeviceWatch {
  public:
    // `ports`: the device paths awaited; none for the places a search looks.
    // The watch starts here, so that a device made before the first wait
    // still wakes it.
    explicit DeviceWatch(const std::vector<std::string>& ports);
    ~DeviceWatch();
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    // Waits at most `milliseconds`; true when a device (or a folder on the
    // way to it) appeared or changed meanwhile. Throws Interrupted on Ctrl-C.
    bool wait(ConversationLoop& loop, int milliseconds);

  private:
    bool watch_folders();  // true when it watches a folder it did not before
    bool awaited_change(); // reads what the folders told; true when it concerns the device

    int fd_ = -1;
    std::vector<std::string> paths_;                        // what is awaited, as path patterns
    std::map<int, std::string> folders_;                    // watched folders by watch id
    std::map<std::string, std::vector<std::string>> names_; // the names awaited in each folder
};

} // namespace cli
