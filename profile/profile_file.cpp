#include "profile/profile_file.h"

#include "common/text.h"
#include "profile/file_replace.h"
#include "profile/profile_text.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace profile {
namespace {

// A profile is a few kilobytes; anything past this is not one, and reading it
// whole could exhaust memory. Such a file reads as unreadable.
constexpr size_t MAX_PROFILE_BYTES = size_t{64} << 20;

enum class Load { Ok, Missing, Failed };

Load load_file(const char* path, std::string& text) {
    text.clear();
    if (path == nullptr || path[0] == '\0') {
        return Load::Missing;
    }
    errno = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return errno == ENOENT ? Load::Missing : Load::Failed;
    }
    Load result = Load::Ok;
    char chunk[16384];
    try {
        for (;;) {
            size_t got = std::fread(chunk, 1, sizeof chunk, file);
            if (text.size() + got > MAX_PROFILE_BYTES) {
                result = Load::Failed;
                break;
            }
            text.append(chunk, got);
            if (got < sizeof chunk) {
                // A directory opens on some systems and fails here.
                result = std::ferror(file) ? Load::Failed : Load::Ok;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        result = Load::Failed;
    }
    std::fclose(file);
    if (result != Load::Ok) {
        text.clear();
    }
    return result;
}

bool can_update(const char* path) {
    std::FILE* file = std::fopen(path, "r+b");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

} // namespace

int get_profile_string(const char* section, const char* key, char* buffer, size_t size,
                       const char* path) {
    std::string text;
    bool readable = section != nullptr && buffer != nullptr && size > 0 &&
                    (key == nullptr || key[0] != '\0') && load_file(path, text) == Load::Ok;
    // Unreadable reads as empty: the buffer is still made an empty answer.
    return read_profile_text(readable ? text : std::string_view(), section, key, buffer, size);
}

std::string read_profile_file(const char* path) {
    std::string text;
    load_file(path, text);
    return text;
}

namespace {

const char* write_as_given(const char* path) {
    return path;
}

std::atomic<ProfileWriteTarget> write_target{write_as_given};

} // namespace

ProfileWriteTarget set_profile_write_target(ProfileWriteTarget target) {
    return write_target.exchange(target != nullptr ? target : write_as_given);
}

int write_profile_string(const char* section, const char* key, const char* value,
                         const char* path) {
    if (section == nullptr && key == nullptr && value == nullptr) {
        return 1; // flush: every write is on disk before it returns
    }
    if (path != nullptr) {
        path = write_target.load()(path);
    }
    if (value == nullptr || path == nullptr || path[0] == '\0' ||
        !entry_can_be_written(section, key)) {
        return 0;
    }
    try {
        WriterLock lock(path);
        if (!lock.held()) {
            return 0;
        }
        std::string text;
        Load load = load_file(path, text);
        if (load == Load::Failed || (load == Load::Ok && !can_update(path))) {
            return 0; // unreadable or read-only: leave it as it is
        }
        if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0) {
            return 0; // UTF-16: a line of single-byte text would make it neither encoding
        }
        return replace_file(path, profile_text_with(text, section, key, value)) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int update_profile(const char* path, const std::function<void(std::string& text)>& edit) {
    if (path != nullptr) {
        path = write_target.load()(path);
    }
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }
    try {
        WriterLock lock(path);
        if (!lock.held()) {
            return 0;
        }
        std::string text;
        Load load = load_file(path, text);
        if (load == Load::Failed || (load == Load::Ok && !can_update(path))) {
            return 0;
        }
        if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0) {
            return 0;
        }
        std::string edited = text;
        edit(edited);
        return edited == text || replace_file(path, edited) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

} // namespace profile
