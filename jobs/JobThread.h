// What both import jobs share: starting the worker, and its one notice at the end.
#pragma once

#include "win/AfxWin.h"

#include <functional>

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

// Tests replace the thread starter to see a start that fails; returns the one before.
using JobThreadStarter = CWinThread* (*)(AFX_THREADPROC proc, LPVOID args);
JobThreadStarter SetJobThreadStarterForTesting(JobThreadStarter starter);
