#include "common/test_stop.h"

#include "common/setting_for_tests.h"

#include <csignal>
#include <cstring>

void test_stop(const char* point) {
#ifdef SIGSTOP
    const char* wanted = test_setting("TARVELLE_TEST_STOP");
    if (wanted != nullptr && std::strcmp(wanted, point) == 0) {
        std::raise(SIGSTOP);
    }
#else
    (void)point;
#endif
}
