// The main dialog's controller against the recording seam, with a simulated
// modem on a real pseudo-terminal behind COM3 and the posix port session in
// between, for the soak bench. Deadlines run on the clock as the dialog's
// timer would run them, so a silent modem costs its real waiting time.
#pragma once

#include "dialog/discovery.h"
#include "dialog/messages.h"
#include "dialog/workflow.h"
#include "modem/command_table.h"
#include "dialog/dialog_seam.h"
#include "profile/country_lists.h"
#include "profile/lookups.h"
#include "resources/resource.h"
#include "serial/port_session.h"
#include "tests/serial/sim_modem.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/dialog_start.h"
#include "tests/support/fake_seam.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using Texts = std::vector<std::string>;

constexpr int SIM_PORT = 3;

// Every open descriptor of this process; a closed port gives back its own.
inline int open_descriptors() {
    DIR* dir = opendir("/proc/self/fd");
    int count = 0;
    while (dir != nullptr && readdir(dir) != nullptr) {
        ++count;
    }
    if (dir != nullptr) {
        closedir(dir);
    }
    return count;
}

class SimDialogTest : public DialogFixture {
  protected:
    SimDialogTest() : DialogFixture("faults") { dialog = fake::start_fresh_dialog(seam); }
    ~SimDialogTest() override {
        dialog.reset();
        sim_.reset();
    }

    void write_profile(const std::string& text) {
        std::ofstream(folder + "/TOLVEX.INI", std::ios::binary) << text;
    }

    // A simulated modem on COM3 playing `scenario`; every other port is missing.
    bool plug(const std::string& scenario) {
        sim_ = std::make_unique<SimModem>(scenario);
        std::snprintf(sim_link(), LINK_SIZE, "%s", sim_->link().c_str());
        dialog->port.path_lookup = [](uint8_t port, char* path, size_t capacity) {
            std::snprintf(path, capacity, "%s",
                          port == SIM_PORT ? sim_link() : "/nonexistent/tarvelle-port");
        };
        return sim_->ready();
    }

    // WM_INITDIALOG and everything it sets going; with `pause`, as far as
    // pump_until(pause) takes it.
    void start_dialog(const std::function<bool()>& pause = nullptr) {
        open_dialog();
        pump_until(pause);
    }
    void pump() override { pump_until(nullptr); }

    // Runs the posted messages and the expiring deadline, as the message loop
    // would, until the dialog rests: no post, no deadline, no conversation.
    // With `pause`, stops as soon as it gives true, as a user acting then would.
    void pump_until(const std::function<bool()>& pause) {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(40);
        while (seam.ended() == 0 && !(pause && pause())) {
            ASSERT_LT(std::chrono::steady_clock::now(), give_up) << "the dialog never came to rest";
            std::vector<fake::Post> posts = seam.take_posts();
            for (const fake::Post& post : posts) {
                fake::dispatch_post(*dialog, post);
            }
            if (!posts.empty()) {
                continue;
            }
            // The dialog's timer fires once; the seam keeps it until a new one.
            unsigned sequence = seam.armed_sequence();
            if (sequence == fired_) {
                sequence = 0;
            }
            if (sequence == 0 && dialog->talk.conversation_state == CMD_IDLE) {
                return;
            }
            // A verdict may be on its way between the deadline's cancel and its post.
            auto wait = std::chrono::milliseconds(sequence != 0 ? seam.armed_milliseconds() : 50);
            if (!seam.wait_for_posts(1, wait) && sequence != 0 &&
                seam.armed_sequence() == sequence) {
                fired_ = sequence;
                workflow::on_deadline_expired(*dialog, sequence);
            }
        }
    }
    // "caption: text" of every box since the last call.
    Texts take_boxes() {
        Texts shown;
        for (const fake::Box& box : seam.boxes()) {
            shown.push_back(box.caption + ": " + box.text);
        }
        seam.forget();
        return shown;
    }
    bool port_released() const {
        const PortSession* session = dialog->port.port_session;
        return session == nullptr ||
               (session->connected.load() == 0 && session->thread_id.load() == 0);
    }

  private:
    static constexpr size_t LINK_SIZE = 512;
    static char* sim_link() {
        static char link[LINK_SIZE];
        return link;
    }
    std::unique_ptr<SimModem> sim_;
    unsigned fired_ = 0;
};
