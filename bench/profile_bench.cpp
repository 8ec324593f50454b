// Prints the time of one CCfindSetCur walk over the shipped TOLVEX.INI and
// how many entries (each one read of the profile file) the walk reads.
#include "common/trace.h"
#include "profile/lookups.h"
#include "profile/profile_values.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

int entries_read = 0;
void count_reads(const char* text) {
    if (std::strncmp(text, "New Country code", 16) == 0) {
        ++entries_read;
    }
}

void measure(const char* name) {
    constexpr int WALKS = 2000;
    entries_read = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < WALKS; ++i) {
        profile::CCfindSetCur(name);
    }
    std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    std::printf("walk to %-14s %8.1f us per walk, %3d file reads per walk\n", name,
                spent.count() / WALKS, entries_read / WALKS);
}

} // namespace

int main() {
    profile::load_profile_for(TARVELLE_SOURCE_DIR "/profile/tarvelle.exe");
    set_trace_sink(count_reads);
    measure("Argentina"); // the first entry
    measure("Pakistan");  // the middle
    measure("Vietnam");   // the last: the longest walk
    return 0;
}
