#include "profile/saved_choice.h"

#include "common/text.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "modem/sender.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"

#include <cstring>

namespace profile {

int read_saved_choice(char* key, size_t size) {
    return get_profile_string(CHOICE_SECTION, CHOICE_KEY, key, size, profile_path);
}

int save_choice(const char* key) {
    char saved[SAVED_CHOICE_SIZE];
    read_saved_choice(saved, sizeof saved);
    if (std::strcmp(saved, key) == 0) {
        return 1;
    }
    return write_profile_string(CHOICE_SECTION, CHOICE_KEY, key, profile_path);
}

bool note_names_key(const char* key) {
    return std::strstr(modem::i9_text, key) != nullptr;
}

void start_note_write(const char* key) {
    // The note is cleared, then written from i9_text when the clear is answered.
    copy_text(modem::i9_text, key);
    send_modem_command(CMD_CLEAR_I9);
}

} // namespace profile
