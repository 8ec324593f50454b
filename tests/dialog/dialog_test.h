// The main dialog's controller against the recording seam and the fake port,
// with scripted modems behind the ports and a profile file in a temporary
// folder. A test drives the dialog by handing it what the shell would
// (commands, the posted messages, a timer expiry) and pumps the posted
// messages the way the dialog's message loop does.
#pragma once

#include "dialog/discovery.h"
#include "dialog/messages.h"
#include "dialog/workflow.h"
#include "modem/command_table.h"
#include "modem/conversation_values.h"
#include "profile/profile_values.h"
#include "resources/resource.h"
#include "serial/port_session.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_seam.h"
#include "tests/support/trace_capture.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// What one modem behind a port answers. Commands listed in `errors` are
// answered ERROR, those in `silent` not at all.
struct ScriptedModem {
    std::string ident = "Quorvant 56K Data Fax";
    bool gci = false;               // refuses AT*nc? and takes AT+GCI
    std::string list = "00,B4,B5)"; // the supported-country answer
    std::string i5 = "B5";
    std::string i9 = ""; // the note, without its "CC"
    std::set<std::string> errors;
    std::set<std::string> silent;
};

constexpr unsigned CBN_SELCHANGE_CODE = 1;
constexpr unsigned CBN_ERRSPACE_CODE = 0xFFFF;
constexpr int ID_OK = 1;
constexpr int ID_CANCEL = 2;
constexpr unsigned WARNING_BOX = BOX_SETFOREGROUND | BOX_ICONWARNING;

class DialogTest : public ::testing::Test {
  protected:
    DialogTest();
    ~DialogTest() override;

    // Puts a modem behind `port`; ports without one fail to open.
    void plug(int port, const ScriptedModem& modem);
    void unplug(int port);

    // WM_INITDIALOG and everything it sets going, pumped until quiet.
    void start_dialog();
    // Runs the posted messages, and what they lead to, until nothing is left.
    void pump();
    void command(int id, unsigned notify_code = 0, intptr_t lparam = 0);
    void pick_country(const std::string& text); // the user selects an item
    void pick_modem_item(int index);
    void expire_deadline(); // the armed reply deadline passes

    // Commands written to the port, in order, since the last forget_writes().
    std::vector<std::string> writes_to(int port) const;
    void forget_writes();
    std::vector<int> probed_ports() const; // ports created, in order
    std::string profile_text() const;
    std::string box_texts() const;

    fake::FakeSeam seam;
    fake::TraceCapture traces;
    std::string folder;

  private:
    void answer(const std::string& written);

    mutable std::mutex mutex_;
    std::map<int, ScriptedModem> modems_;
    std::vector<std::pair<int, std::string>> writes_;
    std::vector<int> probed_;
};

// The answers a scripted modem gives, in the modem's own framing.
std::string ok_reply(const std::string& line);
