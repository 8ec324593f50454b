// Drives the running main dialog of tarvelle.exe from another process, for
// the end-to-end tests. It reads one command per line on stdin and answers
// each with lines on stdout, the last of which is "ok" or "error <why>":
//
//   find <ms>                  wait for the main dialog
//   text <id>                  "text <value>"
//   enabled <id>               "enabled 0|1"
//   visible <id>               "visible 0|1"
//   combo <id>                 "count <n>", "item <i> <text>" per item, "selected <i>"
//   select <id> <index>        select an item as the user does (CBN_SELCHANGE follows)
//   press <id>                 press an enabled button
//   wait-text <id> <ms> <text> until the control shows exactly <text>
//   wait-enabled <id> <ms> 0|1
//   wait-combo <id> <ms> <n>   until the combo box holds <n> items
//   wait-box <ms>              "box <caption>" and "says <text>" of a message box
//   close-box                  press OK in the message box
//   no-box                     error if a message box is open
//   wait-gone <ms>             until the main dialog no longer exists
//   sysmenu-about              open the About box through the system menu
//   quit                       end the driver
//
// Texts cross the process boundary as UTF-16 (an ANSI combo-box text sent
// from another process comes back unconverted) and are printed as UTF-8.
// The dialog gives another process nothing to wait on, so the waits re-read
// its state on a short period until it holds or the time runs out.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD RECHECK_MS = 20;
constexpr int MESSAGE_BOX_TEXT_ID = 0xFFFF;
constexpr UINT IDM_ABOUT_COMMAND = 1030;
const wchar_t DIALOG_CLASS[] = L"#32770";
const wchar_t MAIN_TITLE[] = L"Tarvelle";
const wchar_t ABOUT_TITLE[] = L"About Box";

HWND main_dialog = nullptr;

std::string utf8(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring window_text(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

// Waits `ms` at most for `done`, re-reading on a short period; gives its
// last answer.
template <typename Done> bool wait_for(DWORD ms, Done done) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) {
            return true;
        }
        if (GetTickCount() - start >= ms) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, RECHECK_MS, QS_ALLINPUT);
    }
}

HWND control(int id) {
    return GetDlgItem(main_dialog, id);
}

std::wstring combo_item(HWND combo, int index) {
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}

int combo_count(int id) {
    return static_cast<int>(SendMessageW(control(id), CB_GETCOUNT, 0, 0));
}

struct BoxSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK find_box(HWND window, LPARAM search_address) {
    auto* search = reinterpret_cast<BoxSearch*>(search_address);
    wchar_t class_name[16];
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window) ||
        GetClassNameW(window, class_name, 16) == 0 || wcscmp(class_name, DIALOG_CLASS) != 0 ||
        window == main_dialog || GetDlgItem(window, MESSAGE_BOX_TEXT_ID) == nullptr) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND message_box() {
    BoxSearch search = {0, nullptr};
    GetWindowThreadProcessId(main_dialog, &search.process);
    EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND about_box() {
    HWND about = FindWindowW(DIALOG_CLASS, ABOUT_TITLE);
    return about != nullptr && IsWindowVisible(about) ? about : nullptr;
}

bool fail(const char* why) {
    std::printf("error %s\n", why);
    return false;
}

bool need_dialog() {
    return (main_dialog != nullptr && IsWindow(main_dialog)) || fail("no main dialog");
}

// One command line; prints its answer lines and gives success.
bool run(const std::string& line) {
    char verb[32] = "";
    int id = 0;
    int value = 0;
    int used = 0;
    std::sscanf(line.c_str(), "%31s%n", verb, &used);
    const char* rest = line.c_str() + used;
    std::string command = verb;

    if (command == "find") {
        DWORD ms = static_cast<DWORD>(std::atoi(rest));
        bool found = wait_for(ms, [] {
            main_dialog = FindWindowW(DIALOG_CLASS, MAIN_TITLE);
            return main_dialog != nullptr && IsWindowVisible(main_dialog);
        });
        return found || fail("main dialog did not appear");
    }
    if (command == "quit") {
        return true;
    }
    if (command == "wait-box" || command == "close-box" || command == "no-box") {
        if (!need_dialog()) {
            return false;
        }
        HWND box = nullptr;
        if (command == "wait-box") {
            wait_for(static_cast<DWORD>(std::atoi(rest)), [&] { return (box = message_box()); });
        } else {
            box = message_box();
        }
        if (command == "no-box") {
            return box == nullptr || fail("a message box is open");
        }
        if (box == nullptr) {
            return fail("no message box");
        }
        if (command == "close-box") {
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return wait_for(5000, [&] { return !IsWindow(box); }) || fail("box stayed open");
        }
        std::printf("box %s\n", utf8(window_text(box)).c_str());
        std::printf("says %s\n", utf8(window_text(GetDlgItem(box, MESSAGE_BOX_TEXT_ID))).c_str());
        return true;
    }
    if (command == "wait-gone") {
        return wait_for(static_cast<DWORD>(std::atoi(rest)),
                        [] { return main_dialog == nullptr || !IsWindow(main_dialog); }) ||
               fail("main dialog still there");
    }
    if (command == "sysmenu-about") {
        if (!need_dialog()) {
            return false;
        }
        PostMessageW(main_dialog, WM_SYSCOMMAND, IDM_ABOUT_COMMAND, 0);
        return wait_for(5000, [] { return about_box() != nullptr; }) || fail("no About box");
    }
    if (command == "about") { // prints the About box's texts, then closes it
        HWND about = about_box();
        if (about == nullptr) {
            return fail("no About box");
        }
        for (int about_id : {1034, 1018, 1036}) {
            std::printf("text %s\n", utf8(window_text(GetDlgItem(about, about_id))).c_str());
        }
        PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return wait_for(5000, [&] { return !IsWindow(about); }) || fail("About box stayed");
    }

    if (!need_dialog()) {
        return false;
    }
    int consumed = 0;
    if (std::sscanf(rest, "%d%n", &id, &consumed) != 1) {
        return fail("missing control id");
    }
    rest += consumed;
    HWND item = control(id);
    if (item == nullptr) {
        return fail("no such control");
    }
    if (command == "text") {
        std::printf("text %s\n", utf8(window_text(item)).c_str());
        return true;
    }
    if (command == "enabled" || command == "visible") {
        BOOL state = command == "enabled" ? IsWindowEnabled(item) : IsWindowVisible(item);
        std::printf("%s %d\n", command.c_str(), state ? 1 : 0);
        return true;
    }
    if (command == "combo") {
        int count = combo_count(id);
        std::printf("count %d\n", count);
        for (int i = 0; i < count; ++i) {
            std::printf("item %d %s\n", i, utf8(combo_item(item, i)).c_str());
        }
        std::printf("selected %d\n", static_cast<int>(SendMessageW(item, CB_GETCURSEL, 0, 0)));
        return true;
    }
    if (command == "select") {
        value = std::atoi(rest);
        if (SendMessageW(item, CB_SETCURSEL, static_cast<WPARAM>(value), 0) == CB_ERR) {
            return fail("no such item");
        }
        // Selecting by message sends no notification; the user's click does.
        PostMessageW(main_dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(item));
        return true;
    }
    if (command == "press") {
        if (!IsWindowEnabled(item)) {
            return fail("button is disabled");
        }
        PostMessageW(main_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(item));
        return true;
    }
    DWORD ms = static_cast<DWORD>(std::strtoul(rest, const_cast<char**>(&rest), 10));
    while (*rest == ' ') {
        ++rest;
    }
    if (command == "wait-text") {
        std::string expected = rest;
        return wait_for(ms, [&] { return utf8(window_text(item)) == expected; }) ||
               (std::printf("text %s\n", utf8(window_text(item)).c_str()),
                fail("text did not appear"));
    }
    if (command == "wait-enabled") {
        bool expected = std::atoi(rest) != 0;
        return wait_for(ms, [&] { return (IsWindowEnabled(item) != 0) == expected; }) ||
               fail("enabled state did not change");
    }
    if (command == "wait-combo") {
        int expected = std::atoi(rest);
        return wait_for(ms, [&] { return combo_count(id) == expected; }) ||
               fail("item count did not change");
    }
    return fail("unknown command");
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
        std::string line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        bool ok = run(line);
        if (ok) {
            std::printf("ok\n");
        }
        if (line == "quit") {
            break;
        }
    }
    return 0;
}
