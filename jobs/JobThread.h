// What both import jobs share: starting the worker, and its one notice at the end.
#pragma once

#include <functional>

#include "win/AfxWin.h"

// Runs `work` and returns its answer; anything it throws (out of memory included) is a failure.
bool RunGuarded(const std::function<bool()>& work);

// After the notice delay, posts WM_IMPORT_SUCCEEDED or WM_IMPORT_FAILED to the main window
// as it is now; posts nothing when there is none.
void PostJobOutcome(bool succeeded);

// Posts the failure notice at once, for a job that could not even start.
void PostJobFailureNow();

// Starts `proc(args)` on a worker thread. When no thread can be started, `freeArgs(args)`
// runs and the failure notice is posted from this thread, so the dialog still hears of it.
void StartJobThread(AFX_THREADPROC proc, LPVOID args, void (*freeArgs)(LPVOID));

// Starts `proc` on a worker with the argument `makeArgs` builds on the heap; the worker
// frees it. When even the argument cannot be made, the failure notice is posted at once.
template <typename Args, typename MakeArgs>
void StartJob(AFX_THREADPROC proc, MakeArgs makeArgs) {
    Args* args = nullptr;
    try {
        args = new Args(makeArgs());
    } catch (...) {
        PostJobFailureNow();
        return;
    }
    StartJobThread(proc, args, [](LPVOID p) { delete static_cast<Args*>(p); });
}

// Tests replace the thread starter to see a start that fails; returns the one before.
using JobThreadStarter = CWinThread* (*)(AFX_THREADPROC proc, LPVOID args);
JobThreadStarter SetJobThreadStarterForTesting(JobThreadStarter starter);
