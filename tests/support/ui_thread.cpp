#include "tests/support/ui_thread.h"

namespace fake {

void UiThread::adopt() {
    std::lock_guard<std::mutex> lock(mutex_);
    ui_id_ = std::this_thread::get_id();
    adopted_ = true;
}

bool UiThread::on_ui_thread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !adopted_ || ui_id_ == std::this_thread::get_id();
}

void UiThread::send(std::function<void()> call) {
    if (on_ui_thread()) {
        call();
        return;
    }
    Pending pending{std::move(call)};
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.push_back(&pending);
    changed_.notify_all();
    changed_.wait(lock, [&] { return pending.done; });
}

int UiThread::handle_sent() {
    int ran = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!queue_.empty()) {
        Pending* pending = queue_.front();
        queue_.pop_front();
        lock.unlock();
        pending->call();
        lock.lock();
        pending->done = true;
        changed_.notify_all();
        ++ran;
    }
    return ran;
}

bool UiThread::wait_until(const std::function<bool()>& done, std::chrono::milliseconds safety) {
    bool handles_sent = on_ui_thread();
    auto until = std::chrono::steady_clock::now() + safety;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done()) {
        if (handles_sent && !queue_.empty()) {
            lock.unlock();
            handle_sent();
            lock.lock();
            continue;
        }
        if (changed_.wait_until(lock, until) == std::cv_status::timeout) {
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
