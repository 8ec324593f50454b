#include "tests/support/fake_seam.h"

#include "common/text.h"
#include "modem/conversation.h"
#include "tests/support/ui_thread.h"

#include <strings.h>

namespace fake {

FakeSeam::FakeSeam() {
    ui_thread().adopt();
}

FakeSeam::~FakeSeam() {
    hold_boxes(false);
}

void FakeSeam::record(const std::function<void()>& change) {
    locked(change);
    ui_thread().notify();
}

bool FakeSeam::wait(const std::function<bool()>& done, std::chrono::milliseconds safety) {
    return ui_thread().wait_until(
        [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return done();
        },
        safety);
}

void FakeSeam::forget() {
    locked([&] {
        posts_.clear();
        boxes_.clear();
    });
}

void FakeSeam::post(unsigned message, uintptr_t wparam, intptr_t lparam) {
    record([&] { posts_.push_back({message, wparam, lparam}); });
}

void FakeSeam::pause_here() {
    std::function<void()> pause = locked([&] { return std::exchange(pause_, nullptr); });
    if (pause) {
        pause();
    }
}

void FakeSeam::request(const DeadlineCall& call) {
    if (call.arm) {
        pause_here();
    }
    record([&] { requests_.push_back(call); });
}

void FakeSeam::arm_deadline(unsigned milliseconds, unsigned sequence) {
    request({true, milliseconds, sequence});
}

void FakeSeam::cancel_deadline(unsigned sequence) {
    request({false, 0, sequence});
}

// One timer id: a new deadline replaces the armed one; a cancel stops only
// the deadline it names.
void FakeSeam::handle_deadline_requests() {
    if (!ui_thread().on_dialog_thread()) {
        return; // only the dialog's thread handles its messages
    }
    for (const DeadlineCall& call : locked([&] { return std::exchange(requests_, {}); })) {
        if (call.arm) {
            if (conversation != nullptr) {
                conversation->on_arm_request(call.milliseconds, call.sequence);
            }
        } else {
            record([&] {
                if (armed_.sequence == call.sequence) {
                    armed_ = {true, 0, 0};
                }
            });
        }
    }
}

void FakeSeam::start_deadline(unsigned milliseconds, unsigned sequence) {
    pause_here();
    record([&] { armed_ = {true, milliseconds, sequence}; });
}

void FakeSeam::message_box(const char* text, const char* caption, unsigned flags, bool owned) {
    if (owned) {
        ui_thread().send([] {}); // the owner dialog is disabled on its own thread
    }
    record([&] { boxes_.push_back({text, caption, flags, owned}); });
    // The user closes a held box; on the dialog's thread it keeps handling
    // sent messages meanwhile, as a modal box does.
    wait([&] { return !hold_; }, SAFETY);
}

int FakeSeam::load_string(unsigned id, char* buffer, int size) {
    std::string text = find(strings_, id, std::string());
    return size <= 0 ? 0 : static_cast<int>(copy_text(buffer, size_t(size), text.c_str()));
}

int FakeSeam::combo_add(int control, const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string>& items = combos_[control].items;
    items.emplace_back(text);
    return static_cast<int>(items.size()) - 1;
}

void FakeSeam::combo_select(int control, int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    Combo& combo = combos_[control];
    combo.selected = (index >= 0 && index < static_cast<int>(combo.items.size())) ? index : -1;
}

int FakeSeam::combo_text(int control, int index, char* buffer, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::vector<std::string>& items = combos_[control].items;
    if (index < 0 || index >= static_cast<int>(items.size())) {
        return -1;
    }
    return static_cast<int>(copy_text(buffer, size, items[index].c_str()));
}

// The search starts after `start_after`, wraps, and ignores letter case.
int FakeSeam::combo_find_exact(int control, int start_after, const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::vector<std::string>& items = combos_[control].items;
    int count = static_cast<int>(items.size());
    for (int step = 1; step <= count; ++step) {
        int index = ((start_after < 0 ? -1 : start_after) + step) % count;
        if (strcasecmp(items[index].c_str(), text) == 0) {
            return index;
        }
    }
    return -1;
}

} // namespace fake
