// The two import jobs: an image import (GOG and Steam rows) and a disc folder copy (disc
// row). Each runs on a worker thread and ends by posting exactly one notice to the main
// window, 2000 ms after its work has ended.
#pragma once

#include "win/AfxWin.h"

constexpr UINT WM_IMPORT_SUCCEEDED = WM_USER + 100;
constexpr UINT WM_IMPORT_FAILED = WM_USER + 101;
constexpr DWORD kImportNoticeDelayMs = 2000;

// Extracts the FMV and DATA trees of the raw-sector image at `imagePath` into the working
// directory. The path reaches the engine as UTF-8, so no code page can lose it.
void StartImageImport(const CString& imagePath);
UINT ImportImageThread(LPVOID args);

// Copies the files lying directly in the disc's DATA and FMV folders into new folders of
// the same names in the working directory. The job keeps its own copy of `discRoot`.
void StartDiscImport(const CString& discRoot);
UINT ImportDiscThread(LPVOID args);

// Creates `destination` (failing if it exists) and copies into it every file lying
// directly in `source`. False when the source cannot be read (nothing is created then),
// the folder cannot be created, or any file fails to copy; what was copied stays.
bool CopyFolder(const CString& source, const CString& destination);
