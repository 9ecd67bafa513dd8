#pragma once
// The main window's push buttons: owner-drawn over a copy of the window's background,
// with an optional icon beside or above the caption, a flat or 3D look, the hand cursor
// and a tooltip.

#include "platform/AfxControls.h"
#include "platform/AfxGdi.h"

class ImageButton : public CButton {
public:
    enum Placement : uint8_t { ImageLeft = 0, ImageAbove = 1 };
    // Result codes of the operations.
    static constexpr DWORD kDone = 0;
    static constexpr DWORD kLoadFailed = 1;
    static constexpr DWORD kBadPlacement = 4;

    ImageButton();
    ~ImageButton() override;

    DWORD LoadIcons(int iconId, int secondIconId);
    DWORD UseParentBackground(BOOL repaint);
    DWORD SetHoverCursor(int cursorId, BOOL repaint);
    DWORD SetTip(LPCSTR text, BOOL activate);
    DWORD SetImagePlacement(int placement, BOOL repaint);
    DWORD SetFlatStyle(BOOL flat, BOOL repaint);

    void PreSubclassWindow() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void DrawItem(DRAWITEMSTRUCT* item) override;

    // The drawing steps, in the order a draw runs them.
    virtual DWORD PaintBackground(CDC* dc, CRect* rect);
    virtual DWORD PaintBorder(CDC* dc, CRect* rect);
    virtual void PaintIcon(CDC* dc, BOOL hasCaption, const RECT* item, CRect* caption, BOOL pressed, BOOL disabled);
    virtual void PaintCaption(CDC* dc, const CString& text, const RECT* item, CRect* caption, BOOL pressed, BOOL disabled);

    // Where the icon goes for this placement; may move the caption rectangle out of its way.
    CRect PlaceImage(BOOL hasCaption, const RECT* item, CRect* caption, BOOL pressed, int width, int height) const;

    BOOL OnSetCursor(HWND wnd, UINT hitTest, UINT message);
    void OnKillFocus(HWND newFocus);
    void OnMouseMove(UINT flags, CPoint point);
    void OnSysColorChange();
    BOOL OnClicked();
    void OnActivate(UINT state, HWND other, BOOL minimized);
    void OnEnable(BOOL enable);
    void OnCancelMode();
    UINT OnGetDlgCode();
    HBRUSH CtlColor(HDC dc, UINT ctlColor);
    LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);

    BOOL IsHovered() const { return m_bHover; }
    BOOL IsFlat() const { return m_bFlat; }
    BOOL IsDefault() const { return m_bDefault; }
    int GetImagePlacement() const { return m_placement; }

    DECLARE_MESSAGE_MAP()

private:
    struct IconEntry {
        HICON icon = nullptr;
        int width = 0;
        int height = 0;
    };

    void PaintParentSnapshot(CDC* dc);
    void DiscardSnapshot();
    void ReadColours();
    void EnsureTip();
    void EndHover();
    void FreeIcons();
    enum class IconLoad { Loaded, Missing, Unreadable };
    IconLoad LoadIconEntry(int id, IconEntry* entry);
    // The colour pair of the current state: hovered or pressed, else focused, else at rest.
    int StateIndex() const;

    int m_marginX = 3;
    int m_marginY = 3;
    int m_pushShiftX = 1;
    int m_pushShiftY = 1;
    BOOL m_bFlat = TRUE;
    BOOL m_bHover = FALSE;
    BOOL m_bParentBackground = FALSE;
    BOOL m_bPressed = FALSE;
    BOOL m_bFocused = FALSE;
    BOOL m_bDisabled = FALSE;
    BOOL m_bDefault = FALSE;
    uint8_t m_placement = ImageLeft;
    COLORREF m_background[3];  // hovered or pressed, focused, at rest
    COLORREF m_text[3];
    HCURSOR m_hCursor = nullptr;
    CToolTipCtrl m_tip;
    CDC m_snapshotDc;
    CBitmap m_snapshotBitmap;
    HGDIOBJ m_previousBitmap = nullptr;
    IconEntry m_icons[2];
};
