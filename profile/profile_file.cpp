#include "profile/profile_file.h"

#include "common/test_stop.h"
#include "common/text.h"
#include "profile/file_replace.h"
#include "profile/profile_text.h"

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
    // A file that is too big by its size is refused before a byte is read:
    // every look-up reads the profile, so reading such a file up to the limit
    // each time would make each one slow.
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0 && static_cast<unsigned long>(size) > MAX_PROFILE_BYTES) {
            std::fclose(file);
            return Load::Failed;
        }
        std::rewind(file);
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

// The text a write starts from: the profile's, or, while it is missing, the
// seed's. Gives the failure, saying why, when the write must not go ahead.
Failure load_for_write(const char* path, const char* seed, std::string& text) {
    const Load load = load_file(path, text);
    if (load == Load::Missing && seed != nullptr) {
        if (load_file(seed, text) != Load::Ok) {
            return write_failed(std::string(seed) + ": the default profile cannot be read");
        }
        return {};
    }
    if (load == Load::Failed || (load == Load::Ok && !can_update(path))) {
        // unreadable or read-only: leave it as it is
        return write_failed(std::string(path) +
                            (load == Load::Failed ? ": cannot be read" : ": read-only"));
    }
    if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0) {
        // UTF-16: a line of single-byte text would make it neither encoding
        return write_failed(std::string(path) + ": UTF-16 text, left as it is");
    }
    return {};
}

} // namespace

const char* drop_writes(const char*, const char**) {
    return nullptr;
}

using TargetFunction = const char* (*)(const char*, const char**);

bool writes_dropped(const WriteHooks& hooks) {
    const TargetFunction* target = hooks.write_target.target<TargetFunction>();
    return target != nullptr && *target == drop_writes;
}

Failure update_profile(const char* path, const std::function<void(std::string& text)>& edit,
                       const WriteHooks& hooks) {
    const char* seed = nullptr;
    if (path != nullptr && hooks.write_target) {
        path = hooks.write_target(path, &seed);
    }
    if (path == nullptr || path[0] == '\0') {
        return write_failed(path == nullptr ? "a dry run writes nothing" : "no profile named");
    }
    try {
        WriterLock lock(path, hooks.lock_pause);
        if (lock.failure()) {
            return lock.failure();
        }
        std::string text;
        if (Failure failed = load_for_write(path, seed, text)) {
            return failed;
        }
        test_stop("profile_write"); // holding the lock, the old text read
        std::string edited = text;
        edit(edited);
        return edited == text ? Failure{} : replace_file(path, edited);
    } catch (const std::bad_alloc&) {
        return write_failed("out of memory");
    }
}

Failure write_profile_string(const char* section, const char* key, const char* value,
                             const char* path, const WriteHooks& hooks) {
    if (section == nullptr && key == nullptr && value == nullptr) {
        return {}; // flush: every write is on disk before it returns
    }
    if (value == nullptr || !entry_can_be_written(section, key)) {
        return write_failed("no entry can be written under that name");
    }
    return update_profile(
        path, [&](std::string& text) { text = profile_text_with(text, section, key, value); },
        hooks);
}

} // namespace profile
