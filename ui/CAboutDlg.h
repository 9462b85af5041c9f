// The About box: icon, name and version, rights notice, acknowledgement, OK.
#pragma once

#include "win/AfxDialog.h"

class CAboutDlg : public CDialogEx {
public:
    CAboutDlg();
};
