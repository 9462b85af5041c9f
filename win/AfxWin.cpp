// The application object's registration, its main window, and worker threads.
#include "AfxWin.h"

#include <new>

#include <process.h>

namespace {

CWinApp* g_app = nullptr;

struct ThreadStart {
    AFX_THREADPROC proc;
    LPVOID param;
    CWinThread* thread;
};

unsigned __stdcall ThreadEntry(void* argument) {
    ThreadStart start = *static_cast<ThreadStart*>(argument);
    delete static_cast<ThreadStart*>(argument);
    const UINT exitCode = start.proc(start.param);
    CloseHandle(start.thread->m_hThread);
    delete start.thread;
    return exitCode;
}

}  // namespace

CWinApp::CWinApp(const wchar_t*) { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWnd* CWinApp::GetMainWnd() {
    if (m_pMainWnd) return m_pMainWnd;
    static CWnd active;  // the framework answers a temporary object for a foreign window
    active.m_hWnd = GetActiveWindow();
    return active.m_hWnd ? &active : nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD createFlags,
                           LPSECURITY_ATTRIBUTES security) {
    // Never throws: a thread that cannot be started is answered with nullptr.
    auto* thread = new (std::nothrow) CWinThread;
    auto* start = thread ? new (std::nothrow) ThreadStart{proc, param, thread} : nullptr;
    if (!start) {
        delete thread;
        return nullptr;
    }
    // Suspended until the thread object is complete; _beginthreadex sets up the C runtime.
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(security, stackSize, ThreadEntry, start, CREATE_SUSPENDED, &id);
    if (handle == 0) {
        delete start;
        delete thread;
        return nullptr;
    }
    thread->m_hThread = reinterpret_cast<HANDLE>(handle);
    thread->m_nThreadID = id;
    SetThreadPriority(thread->m_hThread, priority);
    if (!(createFlags & CREATE_SUSPENDED)) ResumeThread(thread->m_hThread);
    return thread;
}
