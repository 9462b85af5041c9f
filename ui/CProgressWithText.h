// A progress bar that draws a line of text centred over itself, still or with its marquee.
#pragma once

#include "win/AfxDialog.h"

class CProgressWithText : public CProgressCtrl {
public:
    // Replaces the text (null means empty) and has the whole control repainted.
    void SetText(const wchar_t* text);
    // Whether the marquee was last started (not stopped), as the control was told.
    bool MarqueeRunning() const { return m_marquee; }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnPaint();

    CString m_text;
    bool m_marquee = false;
};
