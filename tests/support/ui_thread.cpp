#include "tests/support/ui_thread.h"

namespace fake {

void UiThread::adopt() {
    std::lock_guard<std::mutex> lock(mutex_);
    ui_id_ = std::this_thread::get_id();
}

void UiThread::send(std::function<void()> call) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (on_ui_thread()) {
        lock.unlock();
        call();
        return;
    }
    bool done = false;
    queue_.emplace_back(std::move(call), &done);
    changed_.notify_all();
    changed_.wait(lock, [&] { return done; });
}

bool UiThread::wait_until(const std::function<bool()>& done, std::chrono::milliseconds safety) {
    auto until = std::chrono::steady_clock::now() + safety;
    std::unique_lock<std::mutex> lock(mutex_);
    bool handles_sent = on_ui_thread();
    while (!done()) {
        if (handles_sent && !queue_.empty()) {
            auto [call, done] = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            call();
            lock.lock();
            *done = true;
            changed_.notify_all();
        } else if (changed_.wait_until(lock, until) == std::cv_status::timeout) {
            return done();
        }
    }
    return true;
}

bool UiThread::wait_for_sent(std::chrono::milliseconds safety) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, safety, [&] { return !queue_.empty(); });
}

void UiThread::notify() {
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
}

UiThread& ui_thread() {
    static UiThread thread;
    return thread;
}

} // namespace fake
