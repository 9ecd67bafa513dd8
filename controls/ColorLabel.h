#pragma once
// A caption that draws only its text, in black, straight on whatever its parent painted
// beneath it (the main window's tiles).

#include "platform/AfxControls.h"

class ColorLabel : public CStatic {
public:
    ColorLabel() = default;
    ~ColorLabel() override = default;

    void PreSubclassWindow() override;
    // Line n (from 0) of the text, without its line feed; a carriage return stays.
    CString LineAt(int n) const;
    int GetLineCount() const { return m_nLines; }

    void OnPaint();
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    DWORD m_dwStyle = 0;
    char m_szText[1024] = {};
    int m_nLines = 1;
};
