// The disc job: the files lying directly in the disc's DATA and FMV folders, copied by
// the system's file copy.
#include <memory>

#include "ImportJobs.h"
#include "JobThread.h"
#include "iso/FileSystem.h"
#include "text/Utf8.h"

namespace {

struct DiscImportArgs {
    CString discRoot;  // the job's own copy: the dialog may be gone before FMV's turn
};

bool IsDotEntry(const wchar_t* name) { return lstrcmpW(name, L".") == 0 || lstrcmpW(name, L"..") == 0; }

// The file appears under its final name only when complete: copied to its temporary name
// (as the engine names it), then moved over the final name. A failed copy leaves nothing.
bool CopyIntoPlace(const CString& source, const CString& folder, const CString& name) {
    const CString temporary = folder + L"\\" + WidenUtf8(TemporaryName(NarrowToUtf8(name)));
    const CString destination = folder + L"\\" + name;
    if (CopyFileW(source.c_str(), temporary.c_str(), FALSE) &&
        MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

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
        if (!CopyIntoPlace(source + L"\\" + name, destination, name)) succeeded = false;
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
