// Our small stand-in for the framework's application and thread classes, in its shape:
// the application object and its main window, worker threads, and the wide string.
#pragma once

#include <string>

#include <windows.h>

// The framework's wide string.
using CString = std::wstring;

// A window, known by its handle.
class CWnd {
public:
    virtual ~CWnd() = default;
    // Binds the object to an existing window; controls that filter messages subclass it.
    virtual void Attach(HWND window) { m_hWnd = window; }
    HWND m_hWnd = nullptr;
};

// A thread started by AfxBeginThread; it deletes itself when the thread ends.
class CWinThread {
public:
    virtual ~CWinThread() = default;

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
};

// The application: one global object, registered when it is constructed.
class CWinApp : public CWinThread {
public:
    explicit CWinApp(const wchar_t* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }

    // The main window: m_pMainWnd, else the calling thread's active window.
    CWnd* GetMainWnd();

    // Read by worker threads when they post their notice; written on the user-interface thread.
    CWnd* volatile m_pMainWnd = nullptr;
};

// The one application object, or nullptr.
CWinApp* AfxGetApp();

using AFX_THREADPROC = UINT (*)(LPVOID);

// Starts `proc(param)` on a new thread that runs at once; returns its thread object, which
// deletes itself when the thread ends, or nullptr when no thread could be started.
CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0, LPSECURITY_ATTRIBUTES security = nullptr);
