// Start-up: common controls, the importer dialog as main window, run modally, then end.
#include "CMarrowgateImporterApp.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/CMarrowgateImporterDlg.h"

CMarrowgateImporterApp theApp;

BOOL CMarrowgateImporterApp::InitInstance() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    CMarrowgateImporterDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();  // every way of ending leads to the same clean-up
    m_pMainWnd = nullptr;
    return FALSE;       // no message loop of our own: the process ends
}
