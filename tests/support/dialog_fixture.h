// A test of the main dialog's controller as its user drives it: a profile
// folder of its own, the dialog started as the shell starts it, commands,
// and countries picked from the list. What an action sets going runs in the
// fixture's pump(), which each kind of test runs its own way.
#pragma once

#include "dialog/dialog_seam.h"
#include "dialog/workflow.h"
#include "profile/lookups.h"
#include "resources/resource.h"
#include "tests/support/fake_seam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

class DialogFixture : public ::testing::Test {
  protected:
    // The folder is made as /tmp/tarvelle-`name`-XXXXXX.
    explicit DialogFixture(const std::string& name) {
        std::string pattern = "/tmp/tarvelle-" + name + "-XXXXXX";
        folder = mkdtemp(pattern.data());
    }
    ~DialogFixture() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    // Runs what the posted messages lead to until the dialog is at rest.
    virtual void pump() = 0;

    // WM_INITDIALOG and everything it sets going.
    void start_dialog() {
        open_dialog();
        pump();
    }
    void open_dialog() {
        workflow::on_init_dialog(*dialog);
        profile::load_profile_for(dialog->state.profile, (folder + "/tarvelle.exe").c_str());
        workflow::post_start_search(*dialog);
    }
    void command(int id, unsigned notify_code = 0) {
        workflow::on_command(*dialog, static_cast<unsigned>(id), notify_code, 0);
        pump();
    }
    void pick(int control, int index) { // the user selects an item
        seam.combo_select(control, index);
        command(control, 1 /* CBN_SELCHANGE */);
    }
    // False, and a failure, when the country list has no such item.
    bool pick_country(const std::string& text) {
        std::vector<std::string> items = seam.combo(IDC_COUNTRY).items;
        auto found = std::find(items.begin(), items.end(), text);
        if (found == items.end()) {
            ADD_FAILURE() << text << " is not in the country list";
            return false;
        }
        pick(IDC_COUNTRY, static_cast<int>(found - items.begin()));
        return true;
    }
    std::string profile_text() const {
        std::ifstream file(folder + "/TOLVEX.INI", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    fake::FakeSeam seam;
    std::unique_ptr<MainDialog> dialog; // made with the seam, so it goes first
    std::string folder;
};
