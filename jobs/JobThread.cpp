// Worker start and the completion notice of the import jobs.
#include "JobThread.h"

#include "ImportJobs.h"

namespace {

CWinThread* BeginThread(AFX_THREADPROC proc, LPVOID args) { return AfxBeginThread(proc, args, 0, 0, 0, nullptr); }

JobThreadStarter g_startThread = BeginThread;

void PostNotice(bool succeeded) {
    CWinApp* app = AfxGetApp();
    CWnd* window = app ? app->GetMainWnd() : nullptr;
    if (window && window->m_hWnd) PostMessageW(window->m_hWnd, succeeded ? WM_IMPORT_SUCCEEDED : WM_IMPORT_FAILED, 0, 0);
}

}  // namespace

bool RunGuarded(const std::function<bool()>& work) {
    try {
        return work();
    } catch (...) {
        return false;  // reported as the job's failure: every job ends with one notice
    }
}

void PostJobOutcome(bool succeeded) {
    Sleep(kImportNoticeDelayMs);
    PostNotice(succeeded);
}

void PostJobFailureNow() { PostNotice(false); }

void StartJobThread(AFX_THREADPROC proc, LPVOID args, void (*freeArgs)(LPVOID)) {
    if (g_startThread(proc, args)) return;
    freeArgs(args);
    PostJobFailureNow();
}

JobThreadStarter SetJobThreadStarterForTesting(JobThreadStarter starter) {
    const JobThreadStarter previous = g_startThread;
    g_startThread = starter;
    return previous;
}
