// Soak: 1000 applies in a row, natively, through the dialog's workflow, the
// posix port session and a simulated modem on a pseudo-terminal. Prints the
// resident memory and the open descriptors after the first few applies and
// after the last, and fails when the last figures have grown past a small
// tolerance (a leak of memory, of a port or of a thread would show there).
//
//   soak_native [--gtest_filter=...]   SOAK_CYCLES=N overrides the 1000
#include "bench/sim_dialog.h"

#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int FIRST_FEW = 5;
constexpr long MEMORY_TOLERANCE_KB = 512;

long resident_kb() {
    long pages = 0, resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm != nullptr) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int cycles() {
    const char* text = std::getenv("SOAK_CYCLES");
    int count = text != nullptr ? std::atoi(text) : 0;
    return count > FIRST_FEW ? count : 1000;
}

} // namespace

TEST_F(SimDialogTest, ApplyCycles) {
    write_profile("[tolvx]\r\n00=Japan,jp,00\r\n09=Australia,au,09\r\nB5=United States,us,B5\r\n");
    ASSERT_TRUE(plug("\n"));
    start_dialog();
    const char* picks[] = {"United States", "Australia"};
    long first_kb = 0;
    int first_fds = 0;
    const int total = cycles();
    const auto started = std::chrono::steady_clock::now();
    for (int cycle = 1; cycle <= total; ++cycle) {
        const std::string country = picks[cycle % 2];
        ASSERT_TRUE(pick_country(country)) << "cycle " << cycle;
        command(IDC_APPLY);
        ASSERT_EQ(seam.text(IDC_STATUS), "Your modem is currently set for " + country)
            << "cycle " << cycle;
        ASSERT_TRUE(take_boxes().empty()) << "cycle " << cycle;
        ASSERT_TRUE(port_released());
        if (cycle == FIRST_FEW) {
            first_kb = resident_kb();
            first_fds = open_descriptors();
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const long last_kb = resident_kb();
    const int last_fds = open_descriptors();
    std::printf("applies: %d in %.1f s (%.1f ms each)\n", total, seconds, 1000 * seconds / total);
    std::printf("resident memory: %ld kB after %d applies, %ld kB after %d (%+ld kB)\n", first_kb,
                FIRST_FEW, last_kb, total, last_kb - first_kb);
    std::printf("open descriptors: %d after %d applies, %d after %d\n", first_fds, FIRST_FEW,
                last_fds, total);
    EXPECT_LE(last_kb - first_kb, MEMORY_TOLERANCE_KB);
    EXPECT_EQ(last_fds, first_fds);
}
