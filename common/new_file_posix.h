// Files the program makes on Linux. Root runs the command line at boot, and
// some of its files go to folders that anyone may write (/var/lock, a
// profile named in /tmp): a name known ahead could be taken by a link to a
// file of root's, which an open would then follow and truncate. So a new
// file is only ever made under a name no one can guess, with O_EXCL and
// O_NOFOLLOW, and then linked or renamed to the name it is meant to have.
#pragma once

#include <string>
#include <sys/types.h>

// Makes a new file named `prefix` followed by random letters, for writing.
// Gives its descriptor (close-on-exec) and its name in `made`, or -1 with
// errno set. `mode` is filtered by the umask, as open() does.
int create_new_file(const std::string& prefix, mode_t mode, std::string& made);

// Writes all of `size` bytes, resuming after a signal or a short write.
bool write_whole(int fd, const char* data, size_t size);
