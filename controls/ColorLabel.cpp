#include "controls/ColorLabel.h"

#include <cstring>

#include "platform/AfxGdi.h"
#include "platform/Unicode.h"

namespace {

// Copies at most `max` bytes of `text`, never cutting a UTF-8 letter in two.
void CopyCut(char* out, const char* text, size_t max) {
    size_t n = text ? Utf8PrefixLength(text, max) : 0;
    if (n) memcpy(out, text, n);
    out[n] = '\0';
}

constexpr size_t kMaxLine = 259;

}  // namespace

BEGIN_MESSAGE_MAP(ColorLabel, CStatic)
    ON_WM_PAINT()
    ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

void ColorLabel::PreSubclassWindow() {
    m_dwStyle = GetStyle();
    CStatic::PreSubclassWindow();
    // Only the text is taken here, not its line count: a template text of several lines
    // shows its first line until the text is set again.
    char buffer[256];
    GetWindowText(buffer, sizeof(buffer));
    CopyCut(m_szText, buffer, 255);
}

CString ColorLabel::LineAt(int n) const {
    const char* start = m_szText;
    for (int i = 0; i < n; ++i) {
        start = strchr(start, '\n');
        if (!start) return CString();
        ++start;
    }
    const char* end = strchr(start, '\n');
    return CString(start, static_cast<int>(end ? end - start : strlen(start)));
}

void ColorLabel::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    // The top row and the left column stay as the parent painted them.
    CRgn clip;
    clip.CreateRectRgn(client.left + 1, client.top + 1, client.right, client.bottom);
    dc.SelectObject(reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    dc.SetBkMode(TRANSPARENT);
    dc.SelectClipRgn(&clip);

    int y = 0;
    for (int n = 0; n < m_nLines; ++n) {
        char line[kMaxLine + 1];
        CopyCut(line, LineAt(n), kMaxLine);
        int length = static_cast<int>(strlen(line));
        SIZE size = dc.GetTextExtent(line, length);
        int x = 2;  // left-aligned, and the undefined fourth alignment
        switch (m_dwStyle & 0x3) {
        case SS_CENTER: x = (client.right - size.cx) / 2; break;
        case SS_RIGHT: x = client.right - size.cx - 2; break;
        default: break;
        }
        if (!IsWindowEnabled()) {
            dc.SetTextColor(RGB(0, 0, 0));
            dc.TextOut(x + 1, y + 1, line, length);
        }
        dc.SetTextColor(RGB(0, 0, 0));
        dc.TextOut(x, y, line, length);
        y += size.cy + 1;
    }

    dc.SelectStockObject(BLACK_PEN);
    dc.SelectStockObject(BLACK_BRUSH);
    dc.SelectClipRgn(nullptr);
}

LRESULT ColorLabel::OnSetText(WPARAM, LPARAM lParam) {
    CopyCut(m_szText, reinterpret_cast<const char*>(lParam), sizeof(m_szText) - 1);
    m_nLines = 1;
    for (const char* p = m_szText; *p; ++p)
        if (*p == '\n') ++m_nLines;
    // The label does not erase its old text: the parent paints the place again beneath it.
    if (CWnd* parent = GetParent()) {
        CRect area;
        GetWindowRect(&area);
        parent->ScreenToClient(&area);
        area.InflateRect(2, 2);
        parent->InvalidateRect(&area, TRUE);
    }
    return 0;
}
