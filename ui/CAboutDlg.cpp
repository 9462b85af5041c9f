// CAboutDlg: template 100; OK, Enter, Escape and the close box end it by the defaults.
#include "CAboutDlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg() : CDialogEx(IDD_ABOUTBOX) {}
