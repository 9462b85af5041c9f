// CMarrowgateImporterDlg: detection at start, Install handlers, completion notices, and
// UpdateControls, which re-applies the whole picture derived from the three states.
#include "CMarrowgateImporterDlg.h"

#include "CAboutDlg.h"
#include "jobs/ImportJobs.h"
#include "res/resource.h"
#include "sources/SourceDetection.h"

CMarrowgateImporterDlg::CMarrowgateImporterDlg(CWnd* parent)
    : CDialogEx(IDD_MARROWGATEIMPORTER_DIALOG, parent),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

void CMarrowgateImporterDlg::DoDataExchange(bool saveAndValidate) {
    DDX_Text(saveAndValidate, IDC_HEADLINE, m_headline);
    DDX_Control(IDC_INSTALL_GOG, m_installGog);
    DDX_Control(IDC_INSTALL_STEAM, m_installSteam);
    DDX_Control(IDC_INSTALL_DISC, m_installDisc);
    DDX_Control(IDC_PROGRESS_GOG, m_progressGog);
    DDX_Control(IDC_PROGRESS_STEAM, m_progressSteam);
    DDX_Control(IDC_PROGRESS_DISC, m_progressDisc);
    DDX_Control(IDOK, m_done);
}

bool CMarrowgateImporterDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    bool handled = true;
    result = 0;
    switch (message) {
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam, handled);
        return handled;
    case WM_PAINT:
        OnPaint(handled);
        return handled;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case IDC_INSTALL_GOG: OnInstallGog(); return true;
            case IDC_INSTALL_STEAM: OnInstallSteam(); return true;
            case IDC_INSTALL_DISC: OnInstallDisc(); return true;
            default: break;
            }
        }
        break;
    case WM_IMPORT_SUCCEEDED:
        result = OnImportSucceeded();
        return true;
    case WM_IMPORT_FAILED:
        result = OnImportFailed();
        return true;
    default:
        break;
    }
    return CDialogEx::OnMessage(message, wParam, lParam, result);
}

BOOL CMarrowgateImporterDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    AddAboutToSystemMenu();
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    // Detection, once per run.
    m_gogState = m_steamState = m_discState = NotFound;
    if (PathExists(GetGogImagePath())) m_gogState = ReadyToImport;
    if (PathExists(GetSteamImagePath())) m_steamState = ReadyToImport;
    m_discRoot = FindDiscRoot();
    if (!m_discRoot.empty()) m_discState = ReadyToImport;

    // The bar and the text over it, painted double-buffered while the marquee runs.
    for (CProgressWithText* bar : {&m_progressGog, &m_progressSteam, &m_progressDisc})
        SetWindowLongPtrW(bar->m_hWnd, GWL_EXSTYLE, GetWindowLongPtrW(bar->m_hWnd, GWL_EXSTYLE) | WS_EX_COMPOSITED);

    UpdateControls();
    return TRUE;  // the focus goes to the first tab stop: Done
}

void CMarrowgateImporterDlg::AddAboutToSystemMenu() {
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    if (!menu) return;
    const CString about = LoadResourceString(IDS_ABOUTBOX);
    if (about.empty()) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

void CMarrowgateImporterDlg::UpdateControls() {
    const ControlsPicture picture = DeriveControlsPicture(m_gogState, m_steamState, m_discState);
    m_headline = picture.headline;
    ShowSourceState(picture.rows[0], m_progressGog, m_installGog);
    ShowSourceState(picture.rows[1], m_progressSteam, m_installSteam);
    ShowSourceState(picture.rows[2], m_progressDisc, m_installDisc);
    m_done.EnableWindow(picture.doneEnabled);
    UpdateData(FALSE);
    KeepKeyboardFocus(picture.doneEnabled);
}

// Disabling the button that has the focus leaves no window with it, and keys then reach
// the dialog as system keys: Esc would no longer cancel during an import. So while every
// button is off, the focus rests on the first bar, which draws no selection and no caret
// (the read-only headline would show its text selected); Esc still reaches the dialog,
// and Enter finds Done disabled. When the import ends, it is back on Done, as at start.
void CMarrowgateImporterDlg::KeepKeyboardFocus(bool doneEnabled) {
    if (GetActiveWindow() != m_hWnd) return;
    HWND focus = GetFocus();
    HWND resting = m_progressGog.m_hWnd;
    if (!doneEnabled && (!focus || !IsWindowEnabled(focus))) {
        SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(resting), TRUE);
    } else if (doneEnabled && (!focus || focus == resting)) {
        SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_done.m_hWnd), TRUE);
    }
}

void CMarrowgateImporterDlg::ShowSourceState(const RowPicture& state, CProgressWithText& progress, CButton& install) {
    progress.SetText(state.text);
    progress.SetMarquee(state.marquee, 10);
    install.EnableWindow(state.installEnabled);
}

void CMarrowgateImporterDlg::OnSysCommand(UINT id, LPARAM, bool& handled) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    handled = false;  // the system's dialog processing: move, size, close, keyboard menu
}

void CMarrowgateImporterDlg::OnPaint(bool& handled) {
    if (!IsIconic(m_hWnd)) {
        handled = false;
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(m_hWnd, &rect);
    DrawIcon(dc, MinimisedIconOffset(rect.right - rect.left, cx), MinimisedIconOffset(rect.bottom - rect.top, cy), m_hIcon);
    EndPaint(m_hWnd, &paint);
}

void CMarrowgateImporterDlg::StartImport(ImportState& row) {
    m_currentState = &row;
    row = Importing;
    UpdateControls();
}

void CMarrowgateImporterDlg::OnInstallGog() {
    StartImport(m_gogState);
    StartImageImport(GetGogImagePath());  // looked up again now, not taken from detection
}

void CMarrowgateImporterDlg::OnInstallSteam() {
    StartImport(m_steamState);
    StartImageImport(GetSteamImagePath());
}

void CMarrowgateImporterDlg::OnInstallDisc() {
    StartImport(m_discState);
    StartDiscImport(m_discRoot);
}

// A notice when no import runs (none started yet, or a stray one) changes nothing.
LRESULT CMarrowgateImporterDlg::OnImportSucceeded() {
    if (m_currentState && *m_currentState == Importing) {
        *m_currentState = Imported;
        UpdateControls();
    }
    return 0;
}

LRESULT CMarrowgateImporterDlg::OnImportFailed() {
    if (m_currentState && *m_currentState == Importing) {
        *m_currentState = ImportFailed;
        UpdateControls();
    }
    return 0;
}
