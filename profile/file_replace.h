// The platform's part of a profile write: a lock that keeps the writers of
// one profile apart (the dialog, the command line, another copy of either),
// and the replacement of the file by its new contents.
#pragma once

#include "common/failure.h"

#include <cstdint>
#include <string>

namespace profile {

// How long a writer waits for another to finish before it gives up.
constexpr unsigned LOCK_WAIT_MS = 5000;

// How a writer waits while another holds the lock. A front end that must
// stay responsive meanwhile (a signal must end the command line at once)
// hands its writes a pause of its own; the lock is then tried again after
// each pause, for LOCK_WAIT_MS at most. The pause gives 0 to go on waiting,
// or any other number to give the write up: the write then fails with
// Kind::profile_stopped and that number as the failure's error. Without a
// pause, the wait is the platform's own, until the lock is free.
using LockPause = int (*)(unsigned milliseconds);

// A profile write's failure, with the reason for the user: "read-only",
// "locked by another writer (…)", the system's words for a missing folder
// or a full disk.
inline Failure write_failed(std::string why) {
    return failure(Kind::profile_write, std::move(why));
}

// Held from before a write reads the profile until its replacement is in
// place, so that two writers never both change the same old contents and one
// of the changes is lost. It is an advisory lock on "<profile>.lock" beside
// the profile, kept for good: removing it could let a writer that is waiting
// on the old file and one that opens a new file in together. Only those who
// may read the profile may open it, or anyone could hold it and stall them.
class WriterLock {
  public:
    explicit WriterLock(const char* profile_path, LockPause pause = nullptr);
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    // Why the lock is not held: the lock file can be neither made nor
    // opened, another writer kept it past the wait, or the pause gave the
    // write up. The write does not go ahead then.
    const Failure& failure() const { return failure_; }

  private:
    intptr_t handle_;
    bool held_ = false;
    Failure failure_;
};

// Writes `contents` to a temporary file of this write's own beside `path`,
// under a name no one can guess, puts it on the disk and renames it over
// `path`. The new file keeps the old profile's permissions; a read-only
// profile, or a link in the profile's place, is refused. A crash leaves the old
// profile or the new one, never a mix; on any failure the temporary file is
// removed and the profile stays as it was. Call it holding the WriterLock.
Failure replace_file(const char* path, const std::string& contents);

} // namespace profile
