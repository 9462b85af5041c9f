// The program's entry, as the framework's: error mode, then the application's InitInstance.
#include "AfxWin.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    // Probing an empty floppy or CD drive must fail quietly, not ask for a disk.
    const UINT mode = SetErrorMode(0);
    SetErrorMode(mode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    CWinApp* app = AfxGetApp();
    if (app) app->InitInstance();
    return 0;
}
