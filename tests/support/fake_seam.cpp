#include "tests/support/fake_seam.h"

#include "common/text.h"
#include "tests/support/ui_thread.h"

#include <cstring>
#include <functional>

namespace fake {
namespace {

bool same_ignoring_case(const std::string& a, const char* b) {
    size_t length = std::strlen(b);
    if (a.size() != length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (ascii_upper(a[i]) != ascii_upper(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

FakeSeam::FakeSeam() {
    ui_thread().adopt();
    install_dialog_seam(this);
}

FakeSeam::~FakeSeam() {
    release_boxes();
    install_dialog_seam(nullptr);
}

void FakeSeam::changed() {
    ui_thread().notify();
}

bool FakeSeam::wait(const std::function<bool()>& done, std::chrono::milliseconds safety) {
    return ui_thread().wait_until(done, safety);
}

std::vector<Post> FakeSeam::posts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return posts_;
}

std::vector<Post> FakeSeam::take_posts() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Post> taken;
    taken.swap(posts_);
    return taken;
}

std::vector<Box> FakeSeam::boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

std::vector<DeadlineCall> FakeSeam::deadline_calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return deadline_calls_;
}

unsigned FakeSeam::armed_sequence() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return armed_sequence_;
}

unsigned FakeSeam::armed_milliseconds() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return armed_milliseconds_;
}

void FakeSeam::forget() {
    std::lock_guard<std::mutex> lock(mutex_);
    posts_.clear();
    boxes_.clear();
    deadline_calls_.clear();
}

bool FakeSeam::wait_for_posts(size_t count, std::chrono::milliseconds safety) {
    return wait(
        [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return posts_.size() >= count;
        },
        safety);
}

bool FakeSeam::wait_for_boxes(size_t count, std::chrono::milliseconds safety) {
    return wait(
        [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return boxes_.size() >= count;
        },
        safety);
}

void FakeSeam::hold_boxes(bool hold) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = hold;
    }
    if (!hold) {
        release_boxes();
    }
}

void FakeSeam::release_boxes() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++release_generation_;
    }
    changed();
}

int FakeSeam::held_boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_boxes_;
}

void FakeSeam::post(unsigned message, uintptr_t wparam, intptr_t lparam) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        posts_.push_back({message, wparam, lparam});
    }
    changed();
}

void FakeSeam::arm_deadline(unsigned milliseconds, unsigned sequence) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        deadline_calls_.push_back({true, milliseconds, sequence});
        armed_sequence_ = sequence; // the same timer id: a new deadline replaces the old
        armed_milliseconds_ = milliseconds;
    }
    changed();
}

void FakeSeam::cancel_deadline(unsigned sequence) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        deadline_calls_.push_back({false, 0, sequence});
        if (armed_sequence_ == sequence) {
            armed_sequence_ = 0;
            armed_milliseconds_ = 0;
        }
    }
    changed();
}

void FakeSeam::message_box(const char* text, const char* caption, unsigned flags, bool owned) {
    if (owned) {
        ui_thread().send([] {}); // the owner dialog is disabled on its own thread
    }
    unsigned generation = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({text, caption, flags, owned});
        generation = release_generation_;
        if (!hold_) {
            return;
        }
        ++open_boxes_;
    }
    changed();
    // The user closes the box; a box on the dialog's thread keeps handling
    // sent messages meanwhile, as a modal box does.
    wait(
        [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return release_generation_ != generation;
        },
        SAFETY);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --open_boxes_;
    }
    changed();
}

int FakeSeam::load_string(unsigned id, char* buffer, int size) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = strings_.find(id);
    if (found == strings_.end() || size <= 0) {
        if (size > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
    return static_cast<int>(copy_text(buffer, static_cast<size_t>(size), found->second.c_str()));
}

void FakeSeam::set_string(unsigned id, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    strings_[id] = text;
}

std::string FakeSeam::text(int control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = texts_.find(control);
    return found == texts_.end() ? std::string() : found->second;
}

bool FakeSeam::enabled(int control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = enabled_.find(control);
    return found == enabled_.end() || found->second;
}

bool FakeSeam::shown(int control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = shown_.find(control);
    return found != shown_.end() && found->second;
}

int FakeSeam::focus() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return focus_;
}

unsigned FakeSeam::icon(int control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = icons_.find(control);
    return found == icons_.end() ? 0 : found->second;
}

Combo FakeSeam::combo(int control) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = combos_.find(control);
    return found == combos_.end() ? Combo() : found->second;
}

int FakeSeam::ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

int FakeSeam::destroyed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return destroyed_;
}

void FakeSeam::set_text(int control, const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_[control] = text;
}

void FakeSeam::enable(int control, bool enabled) {
    std::lock_guard<std::mutex> lock(mutex_);
    enabled_[control] = enabled;
}

void FakeSeam::show(int control) {
    std::lock_guard<std::mutex> lock(mutex_);
    shown_[control] = true;
}

void FakeSeam::set_focus(int control) {
    std::lock_guard<std::mutex> lock(mutex_);
    focus_ = control;
}

void FakeSeam::set_icon(int control, unsigned icon_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    icons_[control] = icon_id;
}

void FakeSeam::combo_reset(int control) {
    std::lock_guard<std::mutex> lock(mutex_);
    combos_[control] = Combo();
}

int FakeSeam::combo_add(int control, const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    Combo& combo = combos_[control];
    combo.items.emplace_back(text);
    return static_cast<int>(combo.items.size()) - 1;
}

int FakeSeam::combo_selected(int control) {
    std::lock_guard<std::mutex> lock(mutex_);
    return combos_[control].selected;
}

void FakeSeam::combo_select(int control, int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    Combo& combo = combos_[control];
    combo.selected = (index >= 0 && index < static_cast<int>(combo.items.size())) ? index : -1;
}

int FakeSeam::combo_text(int control, int index, char* buffer, size_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Combo& combo = combos_[control];
    if (index < 0 || index >= static_cast<int>(combo.items.size())) {
        return -1;
    }
    return static_cast<int>(copy_text(buffer, size, combo.items[index].c_str()));
}

int FakeSeam::combo_find_exact(int control, int start_after, const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Combo& combo = combos_[control];
    int count = static_cast<int>(combo.items.size());
    for (int step = 1; step <= count; ++step) {
        int index = ((start_after < 0 ? -1 : start_after) + step) % count;
        if (same_ignoring_case(combo.items[index], text)) {
            return index;
        }
    }
    return -1;
}

void FakeSeam::end_dialog() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++ended_;
}

void FakeSeam::post_destroy_to_owner() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++destroyed_;
}

} // namespace fake
