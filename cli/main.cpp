// tarvelle-cli: sets a data modem's country from the command line, on Linux and Windows.
#include "cli/commands.h"
#include "cli/failure.h"
#include "cli/main_wait.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/report.h"
#include "common/trace.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // First, before the port's receive thread exists, so that Ctrl-C is
    // taken by the main thread's wait alone.
    if (!cli::prepare_main_wait()) {
        std::fprintf(stderr, "tarvelle-cli: cannot set up its event loop\n");
        return cli::EXIT_USAGE;
    }
#ifndef _WIN32
    if (std::getenv("TARVELLE_TRACE") != nullptr) {
        set_trace_sink(cli::trace_on_stderr);
    }
#endif
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    cli::Options options;
    std::string error;
    if (!cli::parse_options(arguments, options, error)) {
        cli::Report(options.json, options.check).failure(cli::Failure(cli::EXIT_USAGE, error));
        std::fputs(cli::usage_text(), stderr);
        return cli::EXIT_USAGE;
    }
    if (options.help) {
        std::fputs(cli::usage_text(), stdout);
        return cli::EXIT_DONE;
    }
    if (options.version) {
        std::fputs(cli::version_text().c_str(), stdout);
        return cli::EXIT_DONE;
    }
    return cli::run_command(options);
}
