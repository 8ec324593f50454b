// modem-sim: a simulated AT modem on a pseudo-terminal, for the tests and the
// demo. See README.md for the scenario keys.
#include "tools/modem-sim/simulator.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

int stop_pipe[2] = {-1, -1};

void on_stop_signal(int) {
    char byte = 1;
    ssize_t ignored = write(stop_pipe[1], &byte, 1);
    (void)ignored;
}

bool install_stop_signals() {
    if (pipe2(stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal_number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

int usage() {
    std::fprintf(stderr,
                 "usage: modem-sim --link PATH [--config FILE] [--log FILE] [--reply-log FILE]\n"
                 "                 [--state FILE]\n");
    return 2;
}

bool parse_args(int argc, char** argv, modem_sim::Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const char* value = argv[i + 1];
        if (std::strcmp(argv[i], "--link") == 0)
            options.link_path = value;
        else if (std::strcmp(argv[i], "--config") == 0)
            options.config_path = value;
        else if (std::strcmp(argv[i], "--log") == 0)
            options.log_path = value;
        else if (std::strcmp(argv[i], "--reply-log") == 0)
            options.reply_log_path = value;
        else if (std::strcmp(argv[i], "--state") == 0)
            options.state_path = value;
        else
            return false;
    }
    return argc % 2 == 1 && !options.link_path.empty();
}

} // namespace

int main(int argc, char** argv) {
    // A test that crashes cannot stop its modem; end with whoever started us
    // rather than linger holding a pty and a link.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    modem_sim::Options options;
    if (!parse_args(argc, argv, options))
        return usage();
    modem_sim::Config config;
    std::string error;
    // Without a scenario the modem plays its defaults (the demo's modem).
    if (options.config_path.empty()) {
        modem_sim::finish_config(config);
    } else if (!modem_sim::load_config(options.config_path, config, error)) {
        std::fprintf(stderr, "modem-sim: %s\n", error.c_str());
        return 2;
    }
    if (!install_stop_signals()) {
        std::perror("modem-sim: pipe");
        return 1;
    }
    modem_sim::Simulator simulator(options, config);
    if (!simulator.start(error)) {
        std::fprintf(stderr, "modem-sim: %s\n", error.c_str());
        return 1;
    }
    int status = simulator.run(stop_pipe[0]);
    simulator.stop();
    return status;
}
