#include "tests/serial/sim_modem.h"

#include <cstdio>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

static char port_path[512]; // where every COM port leads

SimModem::SimModem(const std::string& scenario) {
    char pattern[] = "/tmp/serial-test-XXXXXX";
    int out[2];
    if (mkdtemp(pattern) == nullptr) {
        return;
    }
    dir_ = pattern;
    link_ = dir_ + "/com";
    const std::string config = dir_ + "/modem.cfg";
    std::ofstream(config) << scenario;
    if (pipe(out) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {MODEM_SIM_PATH, "--link",       link_.c_str(),
                          "--config",     config.c_str(), nullptr};
    if (posix_spawn(&pid_, MODEM_SIM_PATH, &actions, nullptr, const_cast<char**>(argv), environ) !=
        0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    output_ = out[0];
    ready_ = pid_ > 0 && wait_for_line("ready ");
    point_ports_here();
}

SimModem::~SimModem() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    close(output_);
    if (!dir_.empty()) {
        std::remove((dir_ + "/modem.cfg").c_str());
        std::remove(link_.c_str());
        rmdir(dir_.c_str());
    }
}

bool SimModem::wait_for_line(const std::string& prefix) {
    for (;;) {
        const size_t at = pending_.find(prefix);
        const size_t end = at == std::string::npos ? at : pending_.find('\n', at);
        if (end != std::string::npos) {
            pending_.erase(0, end + 1);
            return true;
        }
        pollfd entry{output_, POLLIN, 0};
        char buffer[256];
        ssize_t n = 0; // the time-out is only for a simulator that never answers
        if (poll(&entry, 1, 10000) <= 0 || (n = read(output_, buffer, sizeof buffer)) <= 0) {
            return false;
        }
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

void SimModem::point_ports_here() {
    std::snprintf(port_path, sizeof port_path, "%s", link_.c_str());
}

void SimModem::lookup(uint8_t, char* path, size_t capacity) {
    std::snprintf(path, capacity, "%s", port_path);
}
