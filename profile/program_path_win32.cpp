#include "profile/program_path.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace profile {

int query_program_path(char* out, size_t capacity) {
    DWORD got = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(capacity));
    // A full buffer means the name was cut (and older systems leave it
    // unterminated); a cut path would point beside the wrong directory.
    if (got == 0 || got >= capacity) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

} // namespace profile
