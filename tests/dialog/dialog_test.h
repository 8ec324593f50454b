// The main dialog's controller against the recording seam, with scripted
// modems behind the fake ports and a profile in a temporary folder. A test
// hands it what the shell would and pumps the posts as the message loop does.
#pragma once

#include "dialog/discovery.h"
#include "dialog/messages.h"
#include "dialog/workflow.h"
#include "modem/command_table.h"
#include "profile/country_drawing.h"
#include "profile/country_lists.h"
#include "profile/lookups.h"
#include "resources/resource.h"
#include "tests/support/fake_port.h"
#include "tests/support/dialog_fixture.h"
#include "tests/support/dialog_start.h"
#include "tests/support/fake_seam.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using Writes = std::vector<std::string>;

// What one modem behind a port answers. Commands listed in `errors` are
// answered ERROR, those in `silent` not at all.
struct ScriptedModem {
    std::string ident = "Quorvant 56K Data Fax";
    bool gci = false;               // refuses AT*nc? and takes AT+GCI
    std::string list = "00,B4,B5)"; // the supported-country answer
    std::string i5 = "B5";
    std::set<std::string> errors;
    std::set<std::string> silent;
};

constexpr int ID_OK = 1;
constexpr int ID_CANCEL = 2;

class DialogTest : public DialogFixture {
  protected:
    DialogTest() : DialogFixture("dialog") {
        std::ofstream(folder + "/TOLVEX.INI", std::ios::binary)
            << "[tolvx]\r\n00=Japan,jp,00\r\nB4=United Kingdom,gb,B4\r\n"
               "B5=United States,us,B5\r\n3D=France,fr,3D\r\n";
        fake::fake_port().reset();
        dialog = fake::start_fresh_dialog(seam);
        fake::fake_port().set_open_filter([this](int port) {
            std::lock_guard<std::mutex> lock(mutex_);
            return modems_.count(port) == 1;
        });
        fake::fake_port().set_responder([this](const std::string& written) { answer(written); });
    }
    ~DialogTest() override {
        fake::fake_port().reset();
        dialog.reset();
    }

    // Puts a modem behind `port`; ports without one fail to open.
    void plug(int port, const ScriptedModem& modem = {}) {
        std::lock_guard<std::mutex> lock(mutex_);
        modems_[port] = modem;
    }
    void unplug(int port) {
        std::lock_guard<std::mutex> lock(mutex_);
        modems_.erase(port);
    }

    // Runs the posted messages, and what they lead to, until none is left.
    void pump() override {
        for (;;) {
            ASSERT_TRUE(fake::fake_port().wait_delivered());
            std::vector<fake::Post> posts = seam.take_posts();
            if (posts.empty() || seam.ended() > 0) {
                return; // a dialog that has ended handles nothing more
            }
            for (const fake::Post& post : posts) {
                fake::dispatch_post(*dialog, post);
            }
        }
    }

    // Commands written to the port, in order, since they were last taken.
    Writes take_writes(int port) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(writes_[port], {});
    }

    // Redraws every item of the country list on the dialog's thread, as the
    // list does whenever it is uncovered; gives how many items were drawn
    // with their text.
    int draw_country_list() {
        int drawn = 0;
        fake::ui_thread().send([&] {
            ListCanvas canvas{seam, drawn};
            const int count = static_cast<int>(seam.combo(IDC_COUNTRY).items.size());
            for (int item = 0; item < count; ++item) {
                profile::draw_country_item(
                    dialog->state.profile,
                    {dialog->state.busy, true, item, profile::ITEM_DRAW_ENTIRE, 0}, canvas);
            }
        });
        return drawn;
    }

    // Called on the writing thread with every command, before the modem answers.
    std::function<void()> on_write;

  private:
    // On the writing thread (the test's, or the receive thread when the
    // conversation chains): records the command and queues the modem's answer.
    struct ListCanvas : profile::CountryItemCanvas {
        ListCanvas(fake::FakeSeam& seam, int& drawn) : seam(seam), drawn(drawn) {}
        bool item_text(int item, char* text, size_t size) override {
            return seam.combo_text(IDC_COUNTRY, item, text, size) >= 0;
        }
        void focus_frame() override {}
        void draw_text(const char*) override { ++drawn; }
        bool has_pictures() override { return true; }
        bool load_picture(const char*) override { return true; }
        void copy_picture() override {}
        void release_picture() override {}
        fake::FakeSeam& seam;
        int& drawn;
    };

    void answer(const std::string& written) {
        if (on_write) {
            on_write();
        }
        std::unique_lock<std::mutex> lock(mutex_);
        int port = fake::fake_port().last_port();
        writes_[port].push_back(written);
        size_t start = written[0] == '\r' ? 1 : 0; // the wake-up's leading CR
        std::string command = written.substr(start, written.find_last_not_of('\r') + 1 - start);
        auto found = modems_.find(port);
        if (found == modems_.end() || found->second.silent.count(command) == 1) {
            return;
        }
        std::string reply = reply_of(found->second, command);
        lock.unlock();
        fake::fake_port().deliver(reply);
    }
    static std::string reply_of(ScriptedModem& m, const std::string& command) {
        auto starts = [&](const char* head) { return command.rfind(head, 0) == 0; };
        if (m.errors.count(command) == 1 || (m.gci ? starts("AT*nc") : starts("AT+GCI"))) {
            return "\r\nERROR\r\n";
        }
        std::map<std::string, std::string> lines = {{"ATV1i3", m.ident},
                                                    {"AT*nc?", m.list},
                                                    {"AT+GCI=?", "+GCI: (" + m.list},
                                                    {"ATi5", m.i5},
                                                    {"ATi9", "CC"}};
        if (lines.count(command) == 1) {
            return "\r\n" + lines[command] + "\r\n\r\nOK\r\n";
        }
        if (starts("AT*nc") || starts("AT+GCI=")) { // the country set
            m.i5 = command.substr(command.find_first_of("c=") + 1);
        }
        return "\r\nOK\r\n"; // ATV1, ATz, ATi9## and the note
    }

    std::mutex mutex_;
    std::map<int, ScriptedModem> modems_;
    std::map<int, Writes> writes_;
};
