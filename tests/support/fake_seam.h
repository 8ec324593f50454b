// A recording dialog seam for tests: every post, deadline request and box is
// kept in order; the controls and combo boxes of the main dialog are modelled
// as plain texts and lists. It installs itself on construction and takes the
// constructing thread as the dialog's thread.
//
// Boxes can be held open: a held box returns only after release_boxes(), so a
// test can act on the dialog's thread while the receive thread sits in a box.
// A box owned by the dialog first sends a call to the dialog's thread (the
// owner is disabled that way), so it appears only while that thread handles
// sent messages.
#pragma once

#include "dialog/dialog_seam.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
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
    FakeSeam(const FakeSeam&) = delete;
    FakeSeam& operator=(const FakeSeam&) = delete;

    // What was recorded.
    std::vector<Post> posts() const;
    std::vector<Post> take_posts(); // and forget them
    std::vector<Box> boxes() const;
    std::vector<DeadlineCall> deadline_calls() const;
    // The deadline armed and not cancelled, as the dialog's timer holds it:
    // its sequence (0 when none) and time.
    unsigned armed_sequence() const;
    unsigned armed_milliseconds() const;
    void forget(); // clears every record above, controls kept

    // Waits on the dialog's thread handle sent calls meanwhile.
    bool wait_for_posts(size_t count, std::chrono::milliseconds safety = SAFETY);
    bool wait_for_boxes(size_t count, std::chrono::milliseconds safety = SAFETY);

    void hold_boxes(bool hold);
    void release_boxes();
    int held_boxes() const; // boxes open right now

    // The dialog's resources and controls.
    void set_string(unsigned id, const std::string& text);
    std::string text(int control) const;
    bool enabled(int control) const; // controls start enabled
    bool shown(int control) const;
    int focus() const;
    unsigned icon(int control) const;
    Combo combo(int control) const;
    int ended() const;     // end_dialog calls
    int destroyed() const; // post_destroy_to_owner calls

    // DialogSeam
    void post(unsigned message, uintptr_t wparam, intptr_t lparam) override;
    void arm_deadline(unsigned milliseconds, unsigned sequence) override;
    void cancel_deadline(unsigned sequence) override;
    void message_box(const char* text, const char* caption, unsigned flags, bool owned) override;
    int load_string(unsigned id, char* buffer, int size) override;
    void set_text(int control, const char* text) override;
    void enable(int control, bool enabled) override;
    void show(int control) override;
    void set_focus(int control) override;
    void set_icon(int control, unsigned icon_id) override;
    void combo_reset(int control) override;
    int combo_add(int control, const char* text) override;
    int combo_selected(int control) override;
    void combo_select(int control, int index) override;
    int combo_text(int control, int index, char* buffer, size_t size) override;
    int combo_find_exact(int control, int start_after, const char* text) override;
    void end_dialog() override;
    void post_destroy_to_owner() override;

  private:
    bool wait(const std::function<bool()>& done, std::chrono::milliseconds safety);
    void changed();

    mutable std::mutex mutex_;
    std::vector<Post> posts_;
    std::vector<Box> boxes_;
    std::vector<DeadlineCall> deadline_calls_;
    unsigned armed_sequence_ = 0;
    unsigned armed_milliseconds_ = 0;
    bool hold_ = false;
    int open_boxes_ = 0;
    unsigned release_generation_ = 0;
    std::map<unsigned, std::string> strings_;
    std::map<int, std::string> texts_;
    std::map<int, bool> enabled_;
    std::map<int, bool> shown_;
    std::map<int, unsigned> icons_;
    std::map<int, Combo> combos_;
    int focus_ = 0;
    int ended_ = 0;
    int destroyed_ = 0;
};

} // namespace fake
