// Modal dialogs, data exchange and subclassed controls.
#include "AfxDialog.h"

#include <algorithm>

INT_PTR CDialog::DoModal() {
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    CWinApp* app = AfxGetApp();
    // Like the framework: without a parent, the main window (if it is not this one) owns the dialog.
    if (!owner && app && app->m_pMainWnd && app->m_pMainWnd != this) owner = app->m_pMainWnd->m_hWnd;
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    DoDataExchange(saveAndValidate != FALSE);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DDX_Control(int id, CWnd& control) {
    if (control.m_hWnd) return;
    control.Attach(GetDlgItem(id));
}

void CDialog::DDX_Text(bool saveAndValidate, int id, CString& text) {
    HWND item = GetDlgItem(id);
    if (!saveAndValidate) {
        SetWindowTextW(item, text.c_str());
        return;
    }
    text.assign(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(item, &text[0], static_cast<int>(text.size()))));
}

// As the framework does for a dialog that is hidden at creation and placed at 0, 0:
// centre it over its owner, or, with none (the main window), on the work area of its
// monitor; kept inside that work area either way.
void CDialog::CenterOverOwner() {
    const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if ((style & WS_VISIBLE) || (style & (DS_ABSALIGN | DS_CENTER | DS_CENTERMOUSE))) return;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& area = monitor.rcWork;
    RECT self, over = area;
    GetWindowRect(m_hWnd, &self);
    if (owner) GetWindowRect(owner, &over);
    const int width = self.right - self.left, height = self.bottom - self.top;
    int x = (over.left + over.right - width) / 2, y = (over.top + over.bottom - height) / 2;
    x = std::max<int>(area.left, std::min<int>(x, area.right - width));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDialog::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message == WM_INITDIALOG) {
        result = OnInitDialog();
        CenterOverOwner();
        return true;
    }
    return false;  // the system's dialog procedure does the rest: IDOK, IDCANCEL, Esc, close box
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->m_hWnd = window;
    }
    if (!self) return FALSE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) && HIWORD(wParam) == BN_CLICKED) {
        // Enter presses the default button only while it is enabled.
        HWND button = self->GetDlgItem(LOWORD(wParam));
        if (LOWORD(wParam) == IDOK && button && !IsWindowEnabled(button)) return TRUE;
        // OnOK and OnCancel as the framework keeps them: end the dialog with that id.
        LRESULT unused = 0;
        if (!self->OnMessage(message, wParam, lParam, unused)) self->EndDialog(LOWORD(wParam));
        return TRUE;
    }
    LRESULT result = 0;
    const bool handled = self->OnMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        CWinApp* app = AfxGetApp();
        if (app && app->m_pMainWnd == self) app->m_pMainWnd = nullptr;  // as the framework does
        self->m_hWnd = nullptr;
    }
    if (!handled) return FALSE;
    // These few answer through the return value; every other through DWLP_MSGRESULT.
    if (message == WM_INITDIALOG || message == WM_QUERYDRAGICON || message == WM_CTLCOLORSTATIC) return result;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

CProgressCtrl::~CProgressCtrl() {
    if (m_hWnd) RemoveWindowSubclass(m_hWnd, SubclassProc, 0);
}

void CProgressCtrl::Attach(HWND window) {
    m_hWnd = window;
    SetWindowSubclass(window, SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

bool CProgressCtrl::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT CALLBACK CProgressCtrl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR selfPointer) {
    auto* self = reinterpret_cast<CProgressCtrl*>(selfPointer);
    if (message == WM_NCDESTROY) {  // the control goes: detach from it
        RemoveWindowSubclass(window, SubclassProc, 0);
        self->m_hWnd = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (self->OnMessage(message, wParam, lParam, result)) return result;
    return DefSubclassProc(window, message, wParam, lParam);
}

CString LoadResourceString(UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? CString(text, static_cast<size_t>(length)) : CString();
}
