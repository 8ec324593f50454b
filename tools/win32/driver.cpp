// Drives the running main dialog of tarvelle.exe from another process, for
// the end-to-end tests. It reads one command per line on stdin and answers
// each with lines on stdout, the last of which is "ok" or "error <why>":
//
//   find <ms>                  wait for the main dialog
//   owner                      "class <name>", "iconic 0|1", "title <text>" of its owner
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
//   about                      the About box's texts, then press its OK button
//   about-texts                "caption", then "text" of title, version, copyright
//   about-key <vk>             a key pressed in the About box (27 Escape, 13 Enter)
//   about-click <id>           click a button of the About box
//   about-open                 "open 0|1": whether the About box is there
//   syscommand <value>         a system-menu command to the main dialog
//   wait-iconic <ms> 0|1       until the main dialog is (not) minimised
//   dropdown <id> 0|1          open or close a combo box's list
//   rect main|about|list|item <id>  "rect <left> <top> <right> <bottom>" on the screen;
//                              list: the drop-down list of a combo box; item: a control
//   settle <ms>                until the program waits for input, every window of the
//                              dialog painted again
//   ready                      answers once the driver runs, its window system loaded
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

// The open drop-down list of a combo box: a window of its own on the
// desktop. Its combo box tells which one only to its own process, so the
// visible list window of the program's process is taken.
HWND dropped_list(HWND combo) {
    DWORD process = 0;
    GetWindowThreadProcessId(combo, &process);
    HWND list = nullptr;
    while ((list = FindWindowExW(nullptr, list, L"ComboLBox", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(list, &owner);
        if (owner == process && IsWindowVisible(list)) {
            return list;
        }
    }
    return nullptr;
}

void print_rect(const RECT& r) {
    std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
}

// The focused control of the window's thread: where a key pressed now goes.
HWND focus_of(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr ? info.hwndFocus : window;
}

// A key as the keyboard delivers it; the dialog's message loop turns Escape
// and Enter into its commands.
void press_key(HWND target, WPARAM key) {
    UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16));
    PostMessageW(target, WM_KEYUP, key, 1 | (static_cast<LPARAM>(scan) << 16) | (3u << 30));
}

// Returns once the About box's thread has handled everything posted to it so
// far, or the box is gone. A sent message cannot tell: it is handled before
// the posted ones. So a marker is posted behind them, the OK button's pushed
// look, and read back; then the look is put back.
bool wait_until_handled(HWND about) {
    HWND ok = GetDlgItem(about, IDOK);
    PostMessageW(ok, BM_SETSTATE, TRUE, 0);
    auto pushed = [&] { return (SendMessageW(ok, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; };
    if (!wait_for(5000, [&] { return !IsWindow(about) || pushed(); })) {
        return fail("the About box did not handle its messages");
    }
    if (IsWindow(about)) {
        PostMessageW(ok, BM_SETSTATE, FALSE, 0);
        wait_for(5000, [&] { return !IsWindow(about) || !pushed(); });
    }
    return true;
}

bool about_or_rect(const std::string& command, const char* rest) {
    HWND about = about_box();
    if (command == "about-open") {
        std::printf("open %d\n", about != nullptr ? 1 : 0);
        return true;
    }
    if (command == "rect") {
        char what[16] = "";
        int id = 0;
        std::sscanf(rest, "%15s %d", what, &id);
        RECT r = {};
        if (std::strcmp(what, "main") == 0 && need_dialog()) {
            GetWindowRect(main_dialog, &r);
        } else if (std::strcmp(what, "item") == 0 && need_dialog() && control(id) != nullptr) {
            GetWindowRect(control(id), &r);
        } else if (std::strcmp(what, "about") == 0 && about != nullptr) {
            GetWindowRect(about, &r);
        } else if (std::strcmp(what, "list") == 0 && need_dialog()) {
            HWND list = dropped_list(control(id));
            if (list == nullptr) {
                return fail("no open list");
            }
            GetWindowRect(list, &r);
        } else {
            return fail("no such window");
        }
        print_rect(r);
        return true;
    }
    if (about == nullptr) {
        return fail("no About box");
    }
    if (command == "about-texts") {
        std::printf("caption %s\n", utf8(window_text(about)).c_str());
        for (int about_id : {1034, 1018, 1036}) {
            std::printf("text %s\n", utf8(window_text(GetDlgItem(about, about_id))).c_str());
        }
        return true;
    }
    if (command == "about-key") {
        press_key(focus_of(about), static_cast<WPARAM>(std::atoi(rest)));
    } else if (command == "about-click") {
        HWND button = GetDlgItem(about, std::atoi(rest));
        if (button == nullptr) {
            return fail("no such button");
        }
        PostMessageW(button, BM_CLICK, 0, 0);
    } else {
        return fail("unknown command");
    }
    return wait_until_handled(about);
}

bool window_command(const std::string& command, const char* rest) {
    if (command == "syscommand") {
        PostMessageW(main_dialog, WM_SYSCOMMAND,
                     static_cast<WPARAM>(std::strtoul(rest, nullptr, 0)), 0);
        return true;
    }
    char* after = nullptr;
    long first = std::strtol(rest, &after, 10);
    long second = std::strtol(after, nullptr, 10);
    if (command == "wait-iconic") {
        bool expected = second != 0;
        return wait_for(static_cast<DWORD>(first),
                        [&] { return (IsIconic(main_dialog) != 0) == expected; }) ||
               fail("minimised state did not change");
    }
    HWND combo = control(static_cast<int>(first));
    if (combo == nullptr) {
        return fail("no such control");
    }
    SendMessageW(combo, CB_SHOWDROPDOWN, second != 0 ? TRUE : FALSE, 0);
    return wait_for(5000,
                    [&] {
                        return (SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0) ==
                               (second != 0);
                    }) ||
           fail("the list did not open or close");
}

// A picture of the dialog is whole only once the program has handled what
// its queue held and painted every window: a control filled in just before
// may not be drawn yet. WaitForInputIdle returns when the program next waits
// for input; the redraw then paints every window at once, and the message
// sent after it comes back only when the program has handled all before it.
bool settle(DWORD ms) {
    DWORD process_id = 0;
    GetWindowThreadProcessId(main_dialog, &process_id);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, process_id);
    if (process == nullptr) {
        return fail("cannot open the program's process");
    }
    const bool idle = WaitForInputIdle(process, ms) == 0;
    DWORD_PTR result = 0;
    const bool painted =
        idle &&
        RedrawWindow(main_dialog, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW) !=
            0 &&
        SendMessageTimeoutW(main_dialog, WM_NULL, 0, 0, SMTO_BLOCK, ms, &result) != 0 &&
        WaitForInputIdle(process, ms) == 0;
    CloseHandle(process);
    return painted || fail("the program did not settle");
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
    if (command == "ready") {
        // The first window call loads the driver's own window system, which
        // costs a Wine process a good deal: made now, it does not compete
        // with the program's start.
        GetDesktopWindow();
        return true;
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
    if (command == "owner") {
        HWND owner = need_dialog() ? GetWindow(main_dialog, GW_OWNER) : nullptr;
        if (owner == nullptr) {
            return main_dialog != nullptr && fail("the main dialog has no owner");
        }
        wchar_t class_name[64] = L"";
        GetClassNameW(owner, class_name, 64);
        std::printf("class %s\n", utf8(class_name).c_str());
        std::printf("iconic %d\n", IsIconic(owner) ? 1 : 0);
        std::printf("title %s\n", utf8(window_text(owner)).c_str());
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
    if (command == "settle") {
        return need_dialog() && settle(static_cast<DWORD>(std::atoi(rest)));
    }
    if (command.rfind("about-", 0) == 0 || command == "rect") {
        return about_or_rect(command, rest);
    }
    if (command == "syscommand" || command == "wait-iconic" || command == "dropdown") {
        return need_dialog() && window_command(command, rest);
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
