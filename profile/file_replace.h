// The platform's part of a profile write: a lock that keeps the writers of
// one profile apart (the dialog, the command line, another copy of either),
// and the replacement of the file by its new contents.
#pragma once

#include <cstdint>
#include <string>

namespace profile {

// How long a writer waits for another to finish before it gives up.
constexpr unsigned LOCK_WAIT_MS = 5000;

// How a writer waits while another holds the lock. A front end that must
// stay responsive meanwhile (a signal must end the command line at once)
// installs a pause of its own, which may throw to abandon the write; the
// lock is then tried again after each pause, for LOCK_WAIT_MS at most.
// Without one, the wait is the platform's own, until the lock is free.
using LockPause = void (*)(unsigned milliseconds);
void set_lock_pause(LockPause pause);

// Why this thread's last profile write failed, for the user: "read-only",
// "locked by another writer (…)", the system's words for a missing folder
// or a full disk. Set by the writer; read with profile::write_failure().
void note_write_failure(const std::string& why);

// Held from before a write reads the profile until its replacement is in
// place, so that two writers never both change the same old contents and one
// of the changes is lost. It is an advisory lock on "<profile>.lock" beside
// the profile, kept for good: removing it could let a writer that is waiting
// on the old file and one that opens a new file in together. Only those who
// may read the profile may open it, or anyone could hold it and stall them.
class WriterLock {
  public:
    explicit WriterLock(const char* profile_path);
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    // False when the lock file can be neither made nor opened, or another
    // writer kept it past the wait: the write does not go ahead then.
    bool held() const { return held_; }

  private:
    intptr_t handle_;
    bool held_ = false;
};

// Writes `contents` to a temporary file of this write's own beside `path`,
// under a name no one can guess, puts it on the disk and renames it over
// `path`. The new file keeps the old profile's permissions; a read-only
// profile, or a link in the profile's place, is refused. A crash leaves the old
// profile or the new one, never a mix; on any failure the temporary file is
// removed and the profile stays as it was. Call it holding the WriterLock.
bool replace_file(const char* path, const std::string& contents);

} // namespace profile
