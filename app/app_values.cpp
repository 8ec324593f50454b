#include "app/app_values.h"

namespace app {
HINSTANCE instance = nullptr;
char app_title[APP_TITLE_SIZE] = "";
HWND owner_window = nullptr;
HMODULE ctl3d_module = nullptr;
char string_scratch[STRING_SCRATCH_SIZE] = "";
} // namespace app
