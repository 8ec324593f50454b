// A recording dialog seam for tests: posts, deadline requests and boxes are
// kept in order; the dialog's controls are modelled as texts and lists. It
// takes the constructing thread as the dialog's thread.
// Deadline requests queue up, as posted messages do, until the dialog's
// thread handles them (handle_deadline_requests, or any look at the timer).
// A box owned by the dialog first sends a call to the dialog's thread (the
// owner is disabled that way), so it appears only while that thread handles
// sent messages; a held box returns only once boxes are no longer held.
#pragma once

#include "dialog/dialog_seam.h"
#include "modem/conversation.h"
#include "tests/support/ui_thread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace fake {

struct Post {
    unsigned message;
    uintptr_t wparam;
    intptr_t lparam;
};

struct Box {
    std::string text;
    std::string caption;
    unsigned flags;
    bool owned;
};

struct DeadlineCall {
    bool arm; // false: a cancel
    unsigned milliseconds;
    unsigned sequence;
};

struct Combo {
    std::vector<std::string> items;
    int selected = -1;
};

constexpr std::chrono::milliseconds SAFETY{20000}; // waits that should never run out

class FakeSeam : public DialogSeam {
  public:
    FakeSeam();
    ~FakeSeam() override;

    // What was recorded.
    std::vector<Post> posts() const { return get(posts_); }
    std::vector<Post> take_posts() {
        return locked([&] { return std::exchange(posts_, {}); });
    }
    std::vector<Box> boxes() const { return get(boxes_); }
    // The deadline armed and not cancelled, as the dialog's timer holds it
    // once the dialog's thread has handled the requests queued for it: its
    // sequence (0 when none) and time.
    unsigned armed_sequence() {
        handle_deadline_requests();
        return timer_sequence();
    }
    unsigned armed_milliseconds() {
        handle_deadline_requests();
        return get(armed_).milliseconds;
    }
    // What the timer holds right now, with requests still queued.
    unsigned timer_sequence() const { return get(armed_).sequence; }
    // On the dialog's thread: the deadline requests queued so far, in order.
    void handle_deadline_requests();
    // Runs once, on the calling thread, just before the next arm request or
    // timer start reaches the seam: a thread paused there.
    void before_next_arm(std::function<void()> pause) {
        record([&] { pause_ = std::move(pause); });
    }
    void forget(); // clears every record above, controls kept
    // The conversation made with this seam as its front end, which the
    // dialog's thread hands its arm requests, as the dialog hands its own.
    modem::Conversation* conversation = nullptr;

    // Waits on the dialog's thread handle sent calls meanwhile.
    bool wait_for_posts(size_t count, std::chrono::milliseconds safety = SAFETY) {
        return wait([&] { return posts_.size() >= count; }, safety);
    }
    bool wait_for_boxes(size_t count, std::chrono::milliseconds safety = SAFETY) {
        return wait([&] { return boxes_.size() >= count; }, safety);
    }
    void hold_boxes(bool hold) {
        record([&] { hold_ = hold; });
    }

    // The dialog's resources and controls.
    void set_string(unsigned id, const std::string& text) { put(strings_, id, text); }
    std::string text(int control) const { return find(texts_, control, std::string()); }
    bool enabled(int control) const { return find(enabled_, control, true); }
    bool visible(int control) const { return find(visible_, control, false); }
    Combo combo(int control) const { return find(combos_, control, Combo()); }
    int ended() const { return ended_; } // end_dialog calls

    // DialogSeam
    void post(unsigned message, uintptr_t wparam, intptr_t lparam) override;
    void arm_deadline(unsigned milliseconds, unsigned sequence) override;
    void cancel_deadline(unsigned sequence) override;
    void start_deadline(unsigned milliseconds, unsigned sequence) override;
    bool on_front_end_thread() override { return ui_thread().on_dialog_thread(); }
    void message_box(const char* text, const char* caption, unsigned flags, bool owned) override;
    int load_string(unsigned id, char* buffer, int size) override;
    void set_text(int control, const char* text) override { put(texts_, control, text); }
    void enable(int control, bool on) override { put(enabled_, control, on); }
    void show(int control, bool on) override { put(visible_, control, on); }
    void set_focus(int) override {}
    void set_icon(int, unsigned) override {}
    void combo_reset(int control) override { put(combos_, control, Combo()); }
    int combo_add(int control, const char* text) override;
    int combo_selected(int control) override { return combo(control).selected; }
    void combo_select(int control, int index) override;
    int combo_text(int control, int index, char* buffer, size_t size) override;
    int combo_find_exact(int control, int start_after, const char* text) override;
    void end_dialog() override { ++ended_; }
    void post_destroy_to_owner() override {}

  private:
    template <class T> T get(const T& field) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return field;
    }
    template <class K, class V> V find(const std::map<K, V>& map, K key, V fallback) const {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = map.find(key);
        return found == map.end() ? fallback : found->second;
    }
    template <class M, class K, class V> void put(M& map, K key, const V& value) {
        std::lock_guard<std::mutex> lock(mutex_);
        map[key] = value;
    }
    template <class F> auto locked(F action) -> decltype(action()) {
        std::lock_guard<std::mutex> lock(mutex_);
        return action();
    }
    void record(const std::function<void()>& change); // and wake the waiters
    void request(const DeadlineCall& call);
    void pause_here();
    bool wait(const std::function<bool()>& done, std::chrono::milliseconds safety);

    mutable std::mutex mutex_;
    std::vector<Post> posts_;
    std::vector<Box> boxes_;
    std::vector<DeadlineCall> requests_; // not yet handled by the dialog's thread
    DeadlineCall armed_{true, 0, 0};
    std::function<void()> pause_;
    bool hold_ = false;
    std::map<unsigned, std::string> strings_;
    std::map<int, std::string> texts_;
    std::map<int, bool> enabled_;
    std::map<int, bool> visible_;
    std::map<int, Combo> combos_;
    std::atomic<int> ended_{0};
};

} // namespace fake
