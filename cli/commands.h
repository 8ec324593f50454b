// The five commands of the command line. Portable: the platform gives the
// port search, the port claim, the profile's place and the main thread's wait.
#pragma once

#include "cli/options.h"

namespace cli {

// Runs the command, prints its result or its failure; gives the exit code.
int run_command(const Options& options);

} // namespace cli
