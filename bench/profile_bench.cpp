// Prints the time of one CCfindSetCur walk over the shipped TOLVEX.INI and
// how many entries (each one read of the profile file) the walk reads.
#include "common/trace.h"
#include "profile/lookups.h"

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

void measure(profile::Profile& profile, const char* name) {
    constexpr int WALKS = 2000;
    entries_read = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < WALKS; ++i) {
        profile::CCfindSetCur(profile, name);
    }
    std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
    std::printf("walk to %-14s %8.1f us per walk, %3d file reads per walk\n", name,
                spent.count() / WALKS, entries_read / WALKS);
}

} // namespace

int main() {
    profile::Profile profile;
    profile::load_profile_for(profile, TARVELLE_SOURCE_DIR "/profile/tarvelle.exe");
    set_trace_sink(count_reads);
    measure(profile, "Argentina"); // the first entry
    measure(profile, "Pakistan");  // the middle
    measure(profile, "Vietnam");   // the last: the longest walk
    return 0;
}
