#include "common/new_file_posix.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

std::string random_letters() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device; // the kernel's random source
    std::string text;
    for (int i = 0; i < 12; ++i) {
        text += letters[device() % (sizeof letters - 1)];
    }
    return text;
}

} // namespace

int create_new_file(const std::string& prefix, mode_t mode, std::string& made) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        made = prefix + random_letters();
        int fd;
        do {
            fd = open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    made.clear();
    return -1;
}

bool write_whole(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t wrote = write(fd, data, size);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            if (wrote == 0) {
                errno = EIO;
            }
            return false;
        }
        data += wrote;
        size -= static_cast<size_t>(wrote);
    }
    return true;
}
