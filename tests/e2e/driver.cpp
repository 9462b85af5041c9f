// e2e driver: a small Windows console program that looks at and drives the running
// importer from outside, as a user would: reads texts and button states, clicks, opens
// and closes the About box. One command per run; prints what it sees as key=value lines.
//
//   driver wait-window MS            the importer's window appears
//   driver state                     headline, each row's bar text, buttons, rectangles
//   driver click ID                  presses a button (posted, as a click is)
//   driver wait-row ROW TEXT MS      ROW (gog, steam, disc) shows TEXT
//   driver import ROW MS             presses ROW's Install; prints the state as soon as the
//                                    row shows "Importing files", then waits (up to MS)
//                                    for the job's notice: end=the row's text then, and
//                                    notice-ms=the time from the click to the notice
//   driver about                     opens About through the system menu, prints its texts
//   driver close-about               presses About's OK; the importer is enabled again
//   driver post MESSAGE              posts MESSAGE (e.g. 0x464) with both parameters 0
//   driver wait-gone MS              the importer's window has gone
// Exit status: 0 done, 1 not as expected (or timed out), 2 usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include <windows.h>

namespace {

constexpr UINT kAboutCommand = 0x0010;

struct Row {
    const char* name;
    int bar;
    int install;
};
const Row kRows[] = {{"gog", 1007, 1002}, {"steam", 1008, 1004}, {"disc", 1009, 1006}};

HWND FindImporter() { return FindWindowW(L"#32770", L"Marrowgate Importer"); }
HWND FindAbout() { return FindWindowW(L"#32770", L"About Marrowgate Importer"); }

// Text of a control in another process: WM_GETTEXT is marshalled, GetWindowText is not.
std::string TextOf(HWND window) {
    wchar_t text[512] = {};
    DWORD_PTR unused = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &unused);
    char utf8[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

void PrintRect(const char* name, HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    std::printf("%s=%ld,%ld,%ld,%ld\n", name, r.left, r.top, r.right, r.bottom);
}

template <typename Condition>
bool WaitFor(Condition condition, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (!condition()) {
        if (GetTickCount64() > end) return false;
        Sleep(50);
    }
    return true;
}

int State(HWND dialog) {
    std::printf("headline=%s\n", TextOf(GetDlgItem(dialog, 1000)).c_str());
    for (const Row& row : kRows) {
        std::printf("%s=%s\n", row.name, TextOf(GetDlgItem(dialog, row.bar)).c_str());
        std::printf("install-%s=%d\n", row.name, IsWindowEnabled(GetDlgItem(dialog, row.install)) ? 1 : 0);
        PrintRect((std::string("rect-") + row.name).c_str(), GetDlgItem(dialog, row.bar));
    }
    std::printf("done=%d\n", IsWindowEnabled(GetDlgItem(dialog, IDOK)) ? 1 : 0);
    std::printf("enabled=%d\n", IsWindowEnabled(dialog) ? 1 : 0);
    PrintRect("rect", dialog);
    // Where the keyboard focus rests, whether a caret shows, and what of the headline is
    // selected (EM_GETSEL packs start and end when given no pointers).
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    const bool known = GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui) != FALSE;
    std::printf("focus=%d\n", known && gui.hwndFocus ? GetDlgCtrlID(gui.hwndFocus) : 0);
    std::printf("caret=%d\n", known && gui.hwndCaret ? 1 : 0);
    DWORD_PTR selection = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, 1000), EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 2000, &selection);
    std::printf("headline-selection=%u,%u\n", LOWORD(selection), HIWORD(selection));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    std::printf("work-area=%ld,%ld,%ld,%ld\n", monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right,
                monitor.rcWork.bottom);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    std::printf("highlight=%02x%02x%02x\n", GetRValue(highlight), GetGValue(highlight), GetBValue(highlight));
    PrintRect("rect-headline", GetDlgItem(dialog, 1000));
    return 0;
}

BOOL CALLBACK PrintChildText(HWND child, LPARAM) {
    std::printf("about-text=%s\n", TextOf(child).c_str());
    return TRUE;
}

const Row* FindRow(const char* name) {
    for (const Row& row : kRows) {
        if (std::strcmp(row.name, name) == 0) return &row;
    }
    return nullptr;
}

// Everything is read in this one process: no Wine start lies between the click, the
// reading of the state during the import, and the notice.
int Import(HWND dialog, const Row& row, DWORD ms) {
    HWND bar = GetDlgItem(dialog, row.bar);
    const std::string importing = "Importing files";
    const ULONGLONG clicked = GetTickCount64();
    PostMessageW(GetDlgItem(dialog, row.install), BM_CLICK, 0, 0);
    if (!WaitFor([&] { return TextOf(bar) == importing; }, 5000)) {
        std::fprintf(stderr, "driver: %s never showed \"%s\"\n", row.name, importing.c_str());
        return 1;
    }
    State(dialog);
    if (!WaitFor([&] { return TextOf(bar) != importing; }, ms)) {
        std::fprintf(stderr, "driver: %s still shows \"%s\"\n", row.name, importing.c_str());
        return 1;
    }
    std::printf("end=%s\n", TextOf(bar).c_str());
    std::printf("notice-ms=%llu\n", GetTickCount64() - clicked);
    return 0;
}

int Usage() {
    std::fprintf(stderr, "usage: driver wait-window MS | state | click ID | wait-row ROW TEXT MS | import ROW MS | "
                         "about | close-about | post MESSAGE | wait-gone MS\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "wait-window" && argc == 3) return WaitFor([] { return FindImporter() != nullptr; }, std::atoi(argv[2])) ? 0 : 1;
    if (command == "wait-gone" && argc == 3) return WaitFor([] { return FindImporter() == nullptr; }, std::atoi(argv[2])) ? 0 : 1;

    HWND dialog = FindImporter();
    if (!dialog) {
        std::fprintf(stderr, "driver: no importer window\n");
        return 1;
    }
    if (command == "state") return State(dialog);
    if (command == "click" && argc == 3) {
        return PostMessageW(GetDlgItem(dialog, std::atoi(argv[2])), BM_CLICK, 0, 0) ? 0 : 1;
    }
    if (command == "wait-row" && argc == 5) {
        const Row* row = FindRow(argv[2]);
        if (!row) return Usage();
        HWND bar = GetDlgItem(dialog, row->bar);
        const std::string want = argv[3];
        const bool seen = WaitFor([&] { return TextOf(bar) == want; }, std::atoi(argv[4]));
        if (!seen) std::fprintf(stderr, "driver: %s shows \"%s\", not \"%s\"\n", row->name, TextOf(bar).c_str(), argv[3]);
        return seen ? 0 : 1;
    }
    if (command == "import" && argc == 4) {
        const Row* row = FindRow(argv[2]);
        return row ? Import(dialog, *row, std::atoi(argv[3])) : Usage();
    }
    if (command == "about") {
        PostMessageW(dialog, WM_SYSCOMMAND, kAboutCommand, 0);  // posted: the box runs modally
        // Shown means placed: the box is centred over its owner before it shows.
        if (!WaitFor([] { return FindAbout() != nullptr && IsWindowVisible(FindAbout()); }, 5000)) return 1;
        Sleep(200);
        HWND about = FindAbout();
        EnumChildWindows(about, PrintChildText, 0);
        PrintRect("about-rect", about);
        std::printf("importer-enabled=%d\n", IsWindowEnabled(dialog) ? 1 : 0);
        std::printf("owner-is-importer=%d\n", GetWindow(about, GW_OWNER) == dialog ? 1 : 0);
        return 0;
    }
    if (command == "post" && argc == 3) {  // a message with both parameters 0, e.g. 0x464
        return PostMessageW(dialog, static_cast<UINT>(std::strtoul(argv[2], nullptr, 0)), 0, 0) ? 0 : 1;
    }
    if (command == "close-about") {
        HWND about = FindAbout();
        if (!about) return 1;
        PostMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        const bool closed = WaitFor([] { return FindAbout() == nullptr; }, 5000);
        return closed && WaitFor([&] { return IsWindowEnabled(dialog) != FALSE; }, 2000) ? 0 : 1;
    }
    return Usage();
}
