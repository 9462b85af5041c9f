// Our stand-in for the framework's dialogs and controls, in its shape: one dialog
// procedure hands every message to a virtual OnMessage; each class's message map is its
// OnMessage, which ends by passing the rest to its base's.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "AfxWin.h"

// A dialog from a template, run modally.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_pParentWnd(parent) {}

    // Runs the dialog; returns the id that ended it, or -1 when it could not be created.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    // The message map: true when handled, with `result` as the answer.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(bool saveAndValidate) { (void)saveAndValidate; }

    // Data exchange: binds a member control to its control once; copies a text.
    void DDX_Control(int id, CWnd& control);
    void DDX_Text(bool saveAndValidate, int id, CString& text);

private:
    void CenterOverOwner();
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    CWnd* m_pParentWnd;
};

// The framework's extended dialog: nothing more is needed of it here.
using CDialogEx = CDialog;

class CButton : public CWnd {
public:
    void EnableWindow(BOOL enable) const { ::EnableWindow(m_hWnd, enable); }
};

// A progress bar whose messages pass through OnMessage first (a window subclass).
class CProgressCtrl : public CWnd {
public:
    ~CProgressCtrl() override;
    void Attach(HWND window) override;
    void SetMarquee(BOOL on, int intervalMs) const { ::SendMessageW(m_hWnd, PBM_SETMARQUEE, on, intervalMs); }

protected:
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The control's own processing of the message now being handled.
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) { return DefSubclassProc(m_hWnd, message, wParam, lParam); }

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
};

// Loads a string of the program's string table; "" when there is none.
CString LoadResourceString(UINT id);
