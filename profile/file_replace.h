// The platform's part of a profile write: a lock that keeps the writers of
// one profile apart (the dialog, the command line, another copy of either),
// and the replacement of the file by its new contents.
#pragma once

#include <cstdint>
#include <string>

namespace profile {

// Held from before a write reads the profile until its replacement is in
// place, so that two writers never both change the same old contents and one
// of the changes is lost. It is an advisory lock on "<profile>.lock" beside
// the profile, kept for good: removing it could let a writer that is waiting
// on the old file and one that opens a new file in together.
class WriterLock {
  public:
    explicit WriterLock(const char* profile_path);
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    // False when the lock file can be neither made nor opened: the write
    // does not go ahead then.
    bool held() const { return held_; }

  private:
    intptr_t handle_;
    bool held_ = false;
};

// Writes `contents` to a temporary file of this write's own beside `path`,
// puts it on the disk and renames it over `path`. A crash leaves the old
// profile or the new one, never a mix; on any failure the temporary file is
// removed and the profile stays as it was. Call it holding the WriterLock.
bool replace_file(const char* path, const std::string& contents);

} // namespace profile
