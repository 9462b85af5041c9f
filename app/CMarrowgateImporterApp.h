// The application object: runs the importer dialog modally as the main window.
#pragma once

#include "win/AfxWin.h"

class CMarrowgateImporterApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
