// The runtime's start-up hands over here.
#include "app/app_values.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous_instance, LPSTR command_line,
                   int show_command) {
    return app_main(instance, previous_instance, command_line, show_command);
}
