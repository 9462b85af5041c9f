// The importer dialog: one row per source (GOG, Steam, disc) with its state, one import
// at a time, and a headline that says whether the level files are present.
#pragma once

#include "CProgressWithText.h"
#include "ControlsPicture.h"
#include "win/AfxDialog.h"

class CMarrowgateImporterDlg : public CDialogEx {
public:
    explicit CMarrowgateImporterDlg(CWnd* parent = nullptr);

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void DoDataExchange(bool saveAndValidate) override;
    BOOL OnInitDialog() override;

    // Applies the picture derived from the three states to the controls.
    void UpdateControls();

    ImportState m_gogState = NotFound;
    ImportState m_steamState = NotFound;
    ImportState m_discState = NotFound;
    CProgressWithText m_progressGog;
    CProgressWithText m_progressSteam;
    CProgressWithText m_progressDisc;

private:
    void AddAboutToSystemMenu();
    void KeepKeyboardFocus(bool doneEnabled);
    // One row's part of the picture: its bar's text and marquee, its Install button.
    static void ShowSourceState(const RowPicture& state, CProgressWithText& progress, CButton& install);

    void OnSysCommand(UINT id, LPARAM lParam, bool& handled);
    void OnPaint(bool& handled);
    void OnInstallGog();
    void OnInstallSteam();
    void OnInstallDisc();
    void StartImport(ImportState& row);
    LRESULT OnImportSucceeded();
    LRESULT OnImportFailed();

    HICON m_hIcon;
    ImportState* m_currentState = nullptr;  // the row whose import was started last
    CString m_headline;
    CButton m_installGog;
    CButton m_installSteam;
    CButton m_installDisc;
    CButton m_done;
    CString m_discRoot;
};
