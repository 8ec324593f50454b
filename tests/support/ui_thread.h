// The dialog's thread as the tests model it. Another thread may "send" it a
// call and wait until the dialog's thread has run it, as SendMessage does
// across threads (a box owned by the dialog, shown on the receive thread,
// disables the dialog that way). The dialog's thread runs such calls only
// while it handles sent messages: in its waits, or when a test pumps.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace fake {

class UiThread {
  public:
    // Makes the calling thread the dialog's thread.
    void adopt();
    bool on_ui_thread() const;

    // Runs `call` on the dialog's thread and returns once it has run; runs it
    // at once when called on that thread (or when no thread was adopted).
    void send(std::function<void()> call);

    // Waits until `done` gives true; on the dialog's thread it handles sent
    // calls meanwhile, the way the shell's waits do. `done` is checked under
    // this object's lock; whoever changes its answer calls notify(). Gives
    // false if `safety` ran out first.
    bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds safety);

    // On the dialog's thread: waits until another thread has sent a call,
    // without running it. False if `safety` ran out first.
    bool wait_for_sent(std::chrono::milliseconds safety = std::chrono::seconds(20));

    // Runs the calls sent so far; gives how many ran.
    int handle_sent();

    void notify();

  private:
    struct Pending {
        std::function<void()> call;
        bool done = false;
    };
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending*> queue_;
    std::thread::id ui_id_;
    bool adopted_ = false;
};

// The one dialog thread of a test process.
UiThread& ui_thread();

} // namespace fake
