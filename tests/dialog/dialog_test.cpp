#include "tests/dialog/dialog_test.h"

#include "profile/country_lists.h"
#include "profile/lookups.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {
const char PROFILE[] = "[tolvx]\r\n"
                       "00=Japan,jp,00\r\n"
                       "B4=United Kingdom,gb,B4\r\n"
                       "B5=United States,us,B5\r\n"
                       "3D=France,fr,3D\r\n";

bool starts_with(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

std::string error_reply() {
    return "\r\nERROR\r\n";
}
} // namespace

std::string ok_reply(const std::string& line) {
    return line.empty() ? "\r\nOK\r\n" : "\r\n" + line + "\r\n\r\nOK\r\n";
}

DialogTest::DialogTest() {
    char pattern[] = "/tmp/tarvelle-dialog-XXXXXX";
    folder = mkdtemp(pattern);
    std::ofstream(folder + "/TOLVEX.INI", std::ios::binary) << PROFILE;

    fake::fake_port().reset();
    modem::reset_conversation_values();
    profile::reset_values();
    profile::reset_country_lists();
    workflow::reset();
    discovery::reset();
    port_number = 0;
    for (auto [id, text] : std::map<unsigned, const char*>{
             {IDS_TITLE, "Tarvelle"},
             {IDS_SEARCHING, "Searching for known modems..."},
             {IDS_SETTING_UP, "Setting up Countries supported..."},
             {IDS_SENDING, "Sending Modem Commands..."},
             {IDS_CURRENT_FMT, "Your modem is currently set for %s"},
             {IDS_VENDOR, "Quorvant"},
             {IDS_INSERT_MODEM, "Insert modem and press 'Apply' !"},
             {IDS_NO_MODEM, "Unable to find a Modem! May be busy or disconnected"}}) {
        seam.set_string(id, text);
    }
    fake::fake_port().set_open_filter([this](int port) {
        std::lock_guard<std::mutex> lock(mutex_);
        probed_.push_back(port);
        return modems_.count(port) == 1;
    });
    fake::fake_port().set_responder([this](const std::string& written) { answer(written); });
}

DialogTest::~DialogTest() {
    fake::fake_port().reset();
    std::system(("rm -rf '" + folder + "'").c_str());
}

void DialogTest::plug(int port, const ScriptedModem& modem) {
    std::lock_guard<std::mutex> lock(mutex_);
    modems_[port] = modem;
}

void DialogTest::unplug(int port) {
    std::lock_guard<std::mutex> lock(mutex_);
    modems_.erase(port);
}

// Runs on the writing thread (the test's, or the receive thread when the
// conversation chains): records the command and queues the modem's answer.
void DialogTest::answer(const std::string& written) {
    int port = fake::fake_port().last_port();
    std::string reply;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        writes_.emplace_back(port, written);
        auto found = modems_.find(port);
        if (found == modems_.end()) {
            return;
        }
        ScriptedModem& m = found->second;
        std::string command = written.substr(0, written.find_last_not_of('\r') + 1);
        if (!command.empty() && command[0] == '\r') {
            command.erase(0, 1);
        }
        if (m.silent.count(command) == 1) {
            return;
        }
        if (m.errors.count(command) == 1 || (m.gci && starts_with(command, "AT*nc")) ||
            (!m.gci && starts_with(command, "AT+GCI"))) {
            reply = error_reply();
        } else if (command == "ATV1i3") {
            reply = ok_reply(m.ident);
        } else if (command == "AT*nc?") {
            reply = ok_reply(m.list);
        } else if (command == "AT+GCI=?") {
            reply = ok_reply("+GCI: (" + m.list);
        } else if (command == "ATi5") {
            reply = ok_reply(m.i5);
        } else if (command == "ATi9") {
            reply = ok_reply("CC" + m.i9);
        } else if (starts_with(command, "AT*nc") || starts_with(command, "AT+GCI=")) {
            m.i5 = command.substr(command.find_first_of("c=") + 1);
            reply = ok_reply("");
        } else if (starts_with(command, "ATi9cc")) {
            m.i9 = command.substr(6, command.size() - 7);
            reply = ok_reply("");
        } else {
            reply = ok_reply(""); // ATV1, ATz, ATi9##
        }
    }
    fake::fake_port().deliver(reply);
}

void DialogTest::start_dialog() {
    workflow::on_init_dialog();
    profile::load_profile_for((folder + "/tarvelle.exe").c_str());
    workflow::post_start_search();
    pump();
}

void DialogTest::pump() {
    for (;;) {
        ASSERT_TRUE(fake::fake_port().wait_delivered());
        std::vector<fake::Post> posts = seam.take_posts();
        if (posts.empty() || seam.ended() > 0) {
            return; // a dialog that has ended handles nothing more
        }
        for (const fake::Post& post : posts) {
            if (post.message == MSG_COMMAND) {
                workflow::on_command(post.wparam & 0xFFFF, (post.wparam >> 16) & 0xFFFF,
                                     post.lparam);
            } else if (post.message == WM_START_SEARCH) {
                discovery::on_start_search();
            } else if (post.message == WM_CONNECT_PORT) {
                discovery::on_connect_port(static_cast<int>(static_cast<intptr_t>(post.wparam)));
            }
        }
    }
}

void DialogTest::command(int id, unsigned notify_code, intptr_t lparam) {
    workflow::on_command(static_cast<unsigned>(id), notify_code, lparam);
    pump();
}

void DialogTest::pick_country(const std::string& text) {
    fake::Combo list = seam.combo(IDC_COUNTRY);
    int index = -1;
    for (size_t i = 0; i < list.items.size(); ++i) {
        if (list.items[i] == text) {
            index = static_cast<int>(i);
        }
    }
    ASSERT_GE(index, 0) << text << " is not in the country list";
    seam.combo_select(IDC_COUNTRY, index);
    command(IDC_COUNTRY, CBN_SELCHANGE_CODE);
}

void DialogTest::pick_modem_item(int index) {
    seam.combo_select(IDC_MODEM, index);
    command(IDC_MODEM, CBN_SELCHANGE_CODE);
}

void DialogTest::expire_deadline() {
    unsigned sequence = seam.armed_sequence();
    ASSERT_NE(sequence, 0u) << "no deadline is armed";
    workflow::on_deadline_expired(sequence);
    pump();
}

std::vector<std::string> DialogTest::writes_to(int port) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> to_port;
    for (const auto& [written_port, text] : writes_) {
        if (written_port == port) {
            to_port.push_back(text);
        }
    }
    return to_port;
}

void DialogTest::forget_writes() {
    std::lock_guard<std::mutex> lock(mutex_);
    writes_.clear();
    probed_.clear();
}

std::vector<int> DialogTest::probed_ports() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return probed_;
}

std::string DialogTest::profile_text() const {
    std::ifstream file(folder + "/TOLVEX.INI", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string DialogTest::box_texts() const {
    std::string all;
    for (const fake::Box& box : seam.boxes()) {
        all += (all.empty() ? "" : "|") + box.text;
    }
    return all;
}
