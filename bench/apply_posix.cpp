// The dialog's workflow without its window, on the posix serial backend: the
// counterpart of tarvelle.exe for reply_pace.py. COM3 is the line given, every
// other port is absent. It scans, reads the modem, then applies countries in
// turn, as a user picking a country and pressing Apply would, and ends.
//
//   apply_posix --link PATH --profile TOLVEX.INI --applies N
//
// Exit codes: 0 done, 1 a step did not end as it should, 2 bad arguments.
#include "dialog/workflow.h"
#include "modem/command_table.h"
#include "dialog/dialog_seam.h"
#include "profile/lookups.h"
#include "resources/resource.h"
#include "serial/port_session.h"
#include "tests/support/dialog_start.h"
#include "tests/support/fake_seam.h"

#include "common/text.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int PORT = 3;
constexpr int CBN_SELCHANGE = 1;
constexpr auto STEP_LIMIT = std::chrono::seconds(60); // one read or one apply
const char* const COUNTRIES[] = {"United States", "Australia"};

std::string modem_link;

void com3_only(uint8_t port, char* path, size_t capacity) {
    copy_text(path, capacity, port == PORT ? modem_link.c_str() : "/nonexistent/tarvelle-port");
}

// The message loop, until the status line says `status` with nothing left to do.
bool run_until(MainDialog& dialog, fake::FakeSeam& seam, const std::string& status) {
    const auto limit = std::chrono::steady_clock::now() + STEP_LIMIT;
    for (;;) {
        const std::vector<fake::Post> posts = seam.take_posts();
        for (const fake::Post& post : posts) {
            fake::dispatch_post(dialog, post);
        }
        if (posts.empty() && seam.text(IDC_STATUS) == status &&
            command_code(dialog.talk.conversation_state.load()) == CMD_IDLE) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            limit - std::chrono::steady_clock::now());
        if (posts.empty() && (left.count() <= 0 || !seam.wait_for_posts(1, left))) {
            std::fprintf(stderr, "apply_posix: waited for \"%s\", status \"%s\"\n", status.c_str(),
                         seam.text(IDC_STATUS).c_str());
            return false;
        }
    }
}

bool apply(MainDialog& dialog, fake::FakeSeam& seam, const char* country) {
    const fake::Combo list = seam.combo(IDC_COUNTRY);
    for (size_t i = 0; i < list.items.size(); ++i) {
        if (list.items[i] == country) {
            seam.combo_select(IDC_COUNTRY, static_cast<int>(i));
            workflow::on_command(dialog, IDC_COUNTRY, CBN_SELCHANGE, 0);
            workflow::on_command(dialog, IDC_APPLY, 0, 0);
            return run_until(dialog, seam,
                             std::string("Your modem is currently set for ") + country);
        }
    }
    std::fprintf(stderr, "apply_posix: %s is not listed\n", country);
    return false;
}

// The profile beside a program file in a folder of its own, as the program has it.
std::string install_profile(const char* profile) {
    char pattern[] = "/tmp/apply-posix-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return "";
    }
    std::ofstream(std::string(pattern) + "/TOLVEX.INI", std::ios::binary)
        << std::ifstream(profile, std::ios::binary).rdbuf();
    return pattern;
}

} // namespace

int main(int argc, char** argv) {
    const char* profile = nullptr;
    int applies = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--link") == 0) {
            modem_link = argv[i + 1];
        } else if (std::strcmp(argv[i], "--profile") == 0) {
            profile = argv[i + 1];
        } else if (std::strcmp(argv[i], "--applies") == 0) {
            applies = std::atoi(argv[i + 1]);
        }
    }
    if (modem_link.empty() || profile == nullptr || applies < 0) {
        std::fprintf(stderr, "usage: apply_posix --link PATH --profile INI --applies N\n");
        return 2;
    }
    const std::string folder = install_profile(profile);
    fake::FakeSeam seam;
    std::unique_ptr<MainDialog> dialog = fake::start_fresh_dialog(seam);
    dialog->port.path_lookup = com3_only;
    workflow::on_init_dialog(*dialog);
    profile::load_profile_for(dialog->state.profile, (folder + "/tarvelle.exe").c_str());
    workflow::post_start_search(*dialog);
    int code = run_until(*dialog, seam, "Your modem is currently set for Japan") ? 0 : 1;
    for (int i = 0; code == 0 && i < applies; ++i) {
        code = apply(*dialog, seam, COUNTRIES[i % 2]) ? 0 : 1;
    }
    dialog.reset();
    std::system(("rm -rf '" + folder + "'").c_str());
    std::printf("%s after %d applies\n", code == 0 ? "done" : "failed", applies);
    return code;
}
