// The disc job: the files lying directly in the disc's DATA and FMV folders, copied by
// the system's file copy.
#include <memory>

#include "ImportJobs.h"
#include "JobThread.h"

namespace {

struct DiscImportArgs {
    CString discRoot;  // the job's own copy: the dialog may be gone before FMV's turn
};

bool IsDotEntry(const wchar_t* name) { return lstrcmpW(name, L".") == 0 || lstrcmpW(name, L"..") == 0; }

}  // namespace

bool CopyFolder(const CString& source, const CString& destination) {
    // The source is opened first: a disc taken out leaves no empty folder behind that
    // would block the next try.
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((source + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return false;
    // An existing destination fails the job: it never mixes with an earlier import.
    if (!CreateDirectoryW(destination.c_str(), nullptr)) {
        FindClose(search);
        return false;
    }
    bool succeeded = true;
    do {
        if (IsDotEntry(entry.cFileName) || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const CString name = entry.cFileName;
        if (!CopyFileW((source + L"\\" + name).c_str(), (destination + L"\\" + name).c_str(), FALSE)) succeeded = false;
    } while (FindNextFileW(search, &entry));
    if (GetLastError() != ERROR_NO_MORE_FILES) succeeded = false;  // the listing broke off
    FindClose(search);
    return succeeded;
}

void StartDiscImport(const CString& discRoot) {
    StartJob<DiscImportArgs>(ImportDiscThread, [&] { return DiscImportArgs{discRoot}; });
}

UINT ImportDiscThread(LPVOID param) {
    std::unique_ptr<DiscImportArgs> args(static_cast<DiscImportArgs*>(param));
    const bool succeeded = RunGuarded([&] {
        return CopyFolder(args->discRoot + L"DATA", L"DATA") && CopyFolder(args->discRoot + L"FMV", L"FMV");
    });
    args.reset();
    PostJobOutcome(succeeded);
    return 0;
}
