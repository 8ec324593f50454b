#include "profile/file_replace.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace profile {
namespace {

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE as_handle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// WriteFile may take less than it is given on a nearly full disk.
bool write_all(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD wrote = 0;
        if (!WriteFile(file, data, chunk, &wrote, nullptr) || wrote == 0) {
            return false;
        }
        data += wrote;
        size -= wrote;
    }
    return true;
}

// The temporary file of this write. Writers of one profile take turns under
// the lock, so the process id alone keeps the name apart from any other
// writer's. A file already there under this name was left by a writer that
// died with the same id, and is taken over.
HANDLE create_temporary(const std::string& temp_path) {
    HANDLE file = CreateFileA(temp_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS &&
        DeleteFileA(temp_path.c_str())) {
        file = CreateFileA(temp_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return file;
}

// The handle is not overlapped, so without a pause the call waits until the
// lock is ours; with one, the lock is tried again after each pause.
Failure take_lock(HANDLE file, const std::string& lock_path, LockPause pause) {
    OVERLAPPED whole_file = {};
    if (pause == nullptr) {
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole_file)) {
            return {};
        }
        return write_failed(lock_path + ": cannot be locked (error " +
                            std::to_string(GetLastError()) + ")");
    }
    constexpr unsigned STEP_MS = 50;
    for (unsigned waited = 0;; waited += STEP_MS) {
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                       MAXDWORD, &whole_file)) {
            return {};
        }
        if (waited >= LOCK_WAIT_MS) {
            return write_failed("locked by another writer for " +
                                std::to_string(LOCK_WAIT_MS / 1000) + " s (" + lock_path + ")");
        }
        if (const int stop = pause(STEP_MS)) {
            return failure(Kind::profile_stopped, "the write was given up", stop);
        }
    }
}

} // namespace

WriterLock::WriterLock(const char* profile_path, LockPause pause) {
    std::string lock_path = std::string(profile_path) + ".lock";
    HANDLE file = CreateFileA(lock_path.c_str(), GENERIC_READ | GENERIC_WRITE, SHARE_ALL, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) { // made read-only by someone: reading is enough to lock
        file = CreateFileA(lock_path.c_str(), GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    if (file == INVALID_HANDLE_VALUE) {
        failure_ = write_failed(lock_path + ": cannot be made or opened");
        return;
    }
    failure_ = take_lock(file, lock_path, pause);
    held_ = !failure_;
}

WriterLock::~WriterLock() {
    HANDLE file = as_handle(handle_);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    if (held_) {
        OVERLAPPED whole_file = {};
        UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole_file);
    }
    CloseHandle(file);
}

Failure replace_file(const char* path, const std::string& contents) {
    // A profile marked read-only stays as it is: the rename would replace it.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return write_failed(std::string(path) + ": read-only");
    }
    std::string temp_path =
        std::string(path) + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
    HANDLE file = create_temporary(temp_path);
    if (file == INVALID_HANDLE_VALUE) {
        return write_failed(std::string(path) + ": no file can be made beside it (error " +
                            std::to_string(GetLastError()) + ")");
    }
    // Every byte and then the data on the disk, before the rename: a short
    // write must never replace the profile with the part that was written.
    bool ok = write_all(file, contents.data(), contents.size()) && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExA(temp_path.c_str(), path,
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        const DWORD error = GetLastError();
        DeleteFileA(temp_path.c_str());
        return write_failed(std::string(path) + ": cannot be replaced (error " +
                            std::to_string(error) + ")");
    }
    return {};
}

} // namespace profile
