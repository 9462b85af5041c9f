// The importer dialog's own window, inside the test: what another process cannot see of it
// under Wine (its system menu, its marquees), the About command's low four bits, and the
// picture it applies for a set of states.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "ExpectedPictures.h"
#include "res/resource.h"
#include "ui/CMarrowgateImporterDlg.h"

namespace {

std::function<void(HWND)> g_whileRunning;
CMarrowgateImporterDlg* g_dialog = nullptr;

void CALLBACK CheckAndClose(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_whileRunning(g_dialog->m_hWnd);
    PostMessageW(g_dialog->m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

// Runs `check` on the dialog's window once it runs, then closes it.
void RunDialog(CMarrowgateImporterDlg& dialog, std::function<void(HWND)> check) {
    g_dialog = &dialog;
    g_whileRunning = std::move(check);
    AfxGetApp()->m_pMainWnd = &dialog;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, CheckAndClose);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    KillTimer(nullptr, timer);
    EXPECT_EQ(AfxGetApp()->m_pMainWnd, nullptr) << "the main window reference outlived the window";
}

void RunDialog(std::function<void(HWND)> check) {
    CMarrowgateImporterDlg dialog;
    RunDialog(dialog, std::move(check));
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// The dialog with its states set from outside, as the Install clicks and notices set them.
class PictureProbe : public CMarrowgateImporterDlg {
public:
    void Show(ImportState gog, ImportState steam, ImportState disc) {
        m_gogState = gog;
        m_steamState = steam;
        m_discState = disc;
        UpdateControls();
    }
    bool MarqueeRunning(int row) const {
        const CProgressWithText* bars[] = {&m_progressGog, &m_progressSteam, &m_progressDisc};
        return bars[row]->MarqueeRunning();
    }
};

// The real window shows each expected picture: headline, bar texts, marquees, buttons.
TEST(ImporterDialog, ShowsTheExpectedPictures) {
    PictureProbe dialog;
    RunDialog(dialog, [&dialog](HWND window) {
        const int bars[] = {IDC_PROGRESS_GOG, IDC_PROGRESS_STEAM, IDC_PROGRESS_DISC};
        const int installs[] = {IDC_INSTALL_GOG, IDC_INSTALL_STEAM, IDC_INSTALL_DISC};
        for (const test::ExpectedPicture& expected : test::kExpectedPictures) {
            SCOPED_TRACE(expected.what);
            dialog.Show(expected.gog, expected.steam, expected.disc);
            EXPECT_EQ(TextOf(GetDlgItem(window, IDC_HEADLINE)), expected.headline);
            for (int row = 0; row < 3; ++row) {
                SCOPED_TRACE("row " + std::to_string(row));
                EXPECT_EQ(TextOf(GetDlgItem(window, bars[row])), expected.rows[row].text);
                EXPECT_EQ(dialog.MarqueeRunning(row), expected.rows[row].marquee);
                EXPECT_EQ(IsWindowEnabled(GetDlgItem(window, installs[row])) != FALSE, expected.rows[row].install);
            }
            EXPECT_EQ(IsWindowEnabled(GetDlgItem(window, IDOK)) != FALSE, expected.done);
        }
    });
}

std::wstring MenuText(HMENU menu, int position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
    return text;
}

TEST(ImporterDialog, SystemMenuEndsWithTheAboutEntry) {
    RunDialog([](HWND window) {
        HMENU menu = GetSystemMenu(window, FALSE);
        ASSERT_NE(menu, nullptr);
        const int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
        EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
        EXPECT_EQ(MenuText(menu, count - 1), L"&About Marrowgate Importer...");
        // The icons, and the focus on Done.
        EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
        EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
        EXPECT_EQ(GetFocus(), GetDlgItem(window, IDOK));
        EXPECT_EQ(SendMessageW(window, WM_QUERYDRAGICON, 0, 0), SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    });
}

bool g_aboutSeen = false;

void CALLBACK LookForAboutAndCloseIt(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND about = FindWindowW(L"#32770", L"About Marrowgate Importer");
    g_aboutSeen = about != nullptr && GetWindow(about, GW_OWNER) == g_dialog->m_hWnd;
    if (about) PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// 0x10 to 0x1F all open About: the system keeps its own flags in the low four bits.
TEST(ImporterDialog, AboutOpensForEveryIdDifferingInTheLowFourBits) {
    for (WPARAM id : {WPARAM{0x10}, WPARAM{0x1F}}) {
        g_aboutSeen = false;
        RunDialog([id](HWND window) {
            SetTimer(nullptr, 0, 300, LookForAboutAndCloseIt);
            SendMessageW(window, WM_SYSCOMMAND, id, 0);  // returns when About has closed
        });
        EXPECT_TRUE(g_aboutSeen) << std::hex << id;
    }
}

}  // namespace
