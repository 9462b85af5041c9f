// CProgressWithText: the bar paints itself, then the text goes on top in the default font.
#include "CProgressWithText.h"

#include <algorithm>

void CProgressWithText::SetText(const wchar_t* text) {
    m_text = text ? text : L"";
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

bool CProgressWithText::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_PAINT:
        OnPaint();
        result = 0;
        return true;
    case PBM_SETMARQUEE:
        m_marquee = wParam != 0;
        result = Default(message, wParam, lParam);
        return true;
    // The bar's own text, for those who ask the control (test drivers, screen readers).
    case WM_GETTEXTLENGTH:
        result = static_cast<LRESULT>(m_text.size());
        return true;
    case WM_GETTEXT: {
        const size_t room = static_cast<size_t>(wParam);
        if (room == 0) { result = 0; return true; }
        const size_t count = std::min(room - 1, m_text.size());
        std::copy_n(m_text.c_str(), count, reinterpret_cast<wchar_t*>(lParam));
        reinterpret_cast<wchar_t*>(lParam)[count] = L'\0';
        result = static_cast<LRESULT>(count);
        return true;
    }
    default:
        return CProgressCtrl::OnMessage(message, wParam, lParam, result);
    }
}

void CProgressWithText::OnPaint() {
    Default(WM_PAINT, 0, 0);  // the bar paints itself in full and validates itself
    HDC dc = GetDC(m_hWnd);
    RECT rect;
    GetClientRect(m_hWnd, &rect);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ReleaseDC(m_hWnd, dc);
}
