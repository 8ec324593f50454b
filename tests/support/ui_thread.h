// The dialog's thread as the tests model it. Another thread may "send" it a
// call and wait until it has run, as SendMessage does across threads; the
// dialog's thread runs such calls only while it waits here.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace fake {

class UiThread {
  public:
    // Makes the calling thread the dialog's thread.
    void adopt();

    // Runs `call` on the dialog's thread and returns once it has run; runs it
    // at once when called on that thread (or when none was adopted).
    void send(std::function<void()> call);

    // Waits until `done` gives true; on the dialog's thread it runs sent calls
    // meanwhile. `done` is checked under this object's lock; whoever changes
    // its answer calls notify(). False if `safety` ran out first.
    bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds safety);

    // On the dialog's thread: waits until another thread has sent a call,
    // without running it. False if `safety` ran out first.
    bool wait_for_sent(std::chrono::milliseconds safety = std::chrono::seconds(20));

    void notify();

    bool on_dialog_thread() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return on_ui_thread();
    }

  private:
    // Under the lock. Until a thread is adopted, every thread counts as the dialog's.
    bool on_ui_thread() const {
        return ui_id_ == std::thread::id() || ui_id_ == std::this_thread::get_id();
    }
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<std::function<void()>, bool*>> queue_; // a call, and its "done"
    std::thread::id ui_id_;
};

// The one dialog thread of a test process.
UiThread& ui_thread();

} // namespace fake
