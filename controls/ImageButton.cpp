#include "controls/ImageButton.h"

#include "platform/WinApp.h"

BEGIN_MESSAGE_MAP(ImageButton, CButton)
    ON_WM_SETCURSOR()
    ON_WM_KILLFOCUS()
    ON_WM_MOUSEMOVE()
    ON_WM_SYSCOLORCHANGE()
    ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClicked)
    ON_WM_ACTIVATE()
    ON_WM_ENABLE()
    ON_WM_CANCELMODE()
    ON_WM_GETDLGCODE()
    ON_WM_CTLCOLOR_REFLECT()
    ON_MESSAGE(BM_SETSTYLE, OnSetStyle)
    ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
END_MESSAGE_MAP()

ImageButton::ImageButton() { ReadColours(); }

ImageButton::~ImageButton() {
    if (m_snapshotDc.GetSafeHdc() && m_snapshotBitmap.GetSafeHandle()) m_snapshotDc.SelectObject(m_previousBitmap);
    FreeIcons();
    if (m_hCursor) ::DestroyCursor(m_hCursor);
}

void ImageButton::ReadColours() {
    for (int i = 0; i < 3; ++i) {
        m_background[i] = ::GetSysColor(COLOR_BTNFACE);
        m_text[i] = ::GetSysColor(COLOR_BTNTEXT);
    }
}

int ImageButton::StateIndex() const {
    if (m_bHover || m_bPressed) return 0;
    return m_bFocused ? 1 : 2;
}

void ImageButton::FreeIcons() {
    for (IconEntry& e : m_icons) {
        if (e.icon) ::DestroyIcon(e.icon);
        e = IconEntry{};
    }
}

ImageButton::IconLoad ImageButton::LoadIconEntry(int id, IconEntry* entry) {
    auto* icon = static_cast<HICON>(::LoadImage(AfxGetInstanceHandle(), MAKEINTRESOURCE(id), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    if (!icon) return IconLoad::Missing;
    ICONINFO info;
    if (!::GetIconInfo(icon, &info)) {
        ::DestroyIcon(icon);
        return IconLoad::Unreadable;
    }
    // An icon's hot spot is its centre, so twice it is the icon's size.
    entry->icon = icon;
    entry->width = static_cast<int>(info.xHotspot * 2);
    entry->height = static_cast<int>(info.yHotspot * 2);
    ::DeleteObject(reinterpret_cast<HGDIOBJ>(info.hbmMask));
    ::DeleteObject(reinterpret_cast<HGDIOBJ>(info.hbmColor));
    return IconLoad::Loaded;
}

DWORD ImageButton::LoadIcons(int iconId, int secondIconId) {
    FreeIcons();
    IconLoad first = LoadIconEntry(iconId, &m_icons[0]);
    IconLoad second = first == IconLoad::Loaded && secondIconId != 0 ? LoadIconEntry(secondIconId, &m_icons[1]) : IconLoad::Missing;
    if (first == IconLoad::Unreadable || second == IconLoad::Unreadable) {
        // An icon whose information cannot be read leaves the button without icons.
        FreeIcons();
        return kLoadFailed;
    }
    Invalidate();
    return kDone;
}

void ImageButton::DiscardSnapshot() {
    if (m_snapshotDc.GetSafeHdc() && m_snapshotBitmap.GetSafeHandle() && m_previousBitmap)
        m_snapshotDc.SelectObject(m_previousBitmap);
    m_previousBitmap = nullptr;
    m_snapshotBitmap.DeleteObject();
    m_snapshotDc.DeleteDC();
}

DWORD ImageButton::UseParentBackground(BOOL repaint) {
    m_bParentBackground = TRUE;
    DiscardSnapshot();
    if (repaint) Invalidate();
    return kDone;
}

DWORD ImageButton::SetHoverCursor(int cursorId, BOOL repaint) {
    if (m_hCursor) ::DestroyCursor(m_hCursor);
    m_hCursor = nullptr;
    if (cursorId != 0) {
        m_hCursor = static_cast<HCURSOR>(
            ::LoadImage(AfxGetInstanceHandle(), MAKEINTRESOURCE(cursorId), IMAGE_CURSOR, 0, 0, LR_DEFAULTCOLOR));
        if (!m_hCursor) return kLoadFailed;
    }
    if (repaint) Invalidate();
    return kDone;
}

void ImageButton::EnsureTip() {
    if (m_tip.GetSafeHwnd()) return;
    m_tip.Create(this, 0);
    m_tip.Activate(FALSE);
    m_tip.SetMaxTipWidth(400);  // long texts wrap
}

DWORD ImageButton::SetTip(LPCSTR text, BOOL activate) {
    if (!text) return kDone;
    EnsureTip();
    if (m_tip.GetToolCount() == 0) {
        CRect client;
        GetClientRect(&client);
        m_tip.AddTool(this, text, &client, 1);
    }
    m_tip.UpdateTipText(text, this, 1);
    m_tip.Activate(activate);
    return kDone;
}

DWORD ImageButton::SetImagePlacement(int placement, BOOL repaint) {
    if (placement != ImageLeft && placement != ImageAbove) return kBadPlacement;
    m_placement = static_cast<uint8_t>(placement);
    if (repaint) Invalidate();
    return kDone;
}

DWORD ImageButton::SetFlatStyle(BOOL flat, BOOL repaint) {
    m_bFlat = flat;
    if (repaint) Invalidate();
    return kDone;
}

void ImageButton::PreSubclassWindow() {
    DWORD style = GetStyle();
    if ((style & 0x0F) == BS_DEFPUSHBUTTON) m_bDefault = TRUE;
    ModifyStyle(0x1F, BS_OWNERDRAW, SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

BOOL ImageButton::PreTranslateMessage(MSG* msg) {
    EnsureTip();
    m_tip.RelayEvent(msg);
    // A quick second click is a second press, and so a second click for the parent.
    if (msg->message == WM_LBUTTONDBLCLK) msg->message = WM_LBUTTONDOWN;
    return CButton::PreTranslateMessage(msg);
}

void ImageButton::DrawItem(DRAWITEMSTRUCT* item) {
    CDC* dc = CDC::FromHandle(item->hDC);
    m_bPressed = (item->itemState & ODS_SELECTED) != 0;
    m_bFocused = (item->itemState & ODS_FOCUS) != 0;
    m_bDisabled = (item->itemState & ODS_DISABLED) != 0;

    CRect rect(item->rcItem);
    dc->SetBkMode(TRANSPARENT);
    if (m_bParentBackground)
        PaintParentSnapshot(dc);
    else
        PaintBackground(dc, &rect);
    PaintBorder(dc, &rect);

    CString caption;
    GetWindowText(caption);
    CRect captionRect(item->rcItem);
    if (m_icons[0].icon) PaintIcon(dc, !caption.IsEmpty(), &item->rcItem, &captionRect, m_bPressed, m_bDisabled);
    if (!caption.IsEmpty()) PaintCaption(dc, caption, &item->rcItem, &captionRect, m_bPressed, m_bDisabled);

    if (!m_bFlat && m_bFocused) {
        CRect focus = rect;
        focus.DeflateRect(3, 3);
        dc->DrawFocusRect(&focus);
    }
}

void ImageButton::PaintParentSnapshot(CDC* dc) {
    CWnd* parent = GetParent();
    CClientDC parentDc(parent);
    CRect client;
    GetClientRect(&client);
    CRect position;
    GetWindowRect(&position);
    parent->ScreenToClient(&position);
    if (!m_snapshotDc.GetSafeHdc()) {
        m_snapshotDc.CreateCompatibleDC(&parentDc);
        m_snapshotBitmap.CreateCompatibleBitmap(&m_snapshotDc, client.Width(), client.Height());
        m_previousBitmap = m_snapshotDc.SelectObject(&m_snapshotBitmap);
        m_snapshotDc.BitBlt(0, 0, client.Width(), client.Height(), &parentDc, position.left, position.top, SRCCOPY);
    }
    dc->BitBlt(0, 0, client.Width(), client.Height(), &m_snapshotDc, 0, 0, SRCCOPY);
}

DWORD ImageButton::PaintBackground(CDC* dc, CRect* rect) {
    if (!m_bFlat && (m_bFocused || m_bDefault)) {
        CBrush black(RGB(0, 0, 0));
        dc->FrameRect(rect, &black);
        rect->DeflateRect(1, 1);
    }
    dc->FillSolidRect(rect, m_background[StateIndex()]);
    return 0;
}

DWORD ImageButton::PaintBorder(CDC* dc, CRect* rect) {
    if (m_bPressed) {
        if (m_bFlat) {
            dc->Draw3dRect(rect, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        } else {
            CBrush shadow(::GetSysColor(COLOR_BTNSHADOW));
            dc->FrameRect(rect, &shadow);
        }
        return 0;
    }
    if (m_bFlat) {
        if (m_bHover) dc->Draw3dRect(rect, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
        return 0;
    }
    int l = rect->left, t = rect->top, r = rect->right, b = rect->bottom;
    struct Line {
        int colour;
        int x0, y0, x1, y1, x2, y2;
    };
    const Line lines[] = {
        {COLOR_BTNHIGHLIGHT, l, b - 1, l, t, r, t},
        {COLOR_3DLIGHT, l + 1, b - 1, l + 1, t + 1, r, t + 1},
        {COLOR_3DDKSHADOW, l, b - 1, r - 1, b - 1, r - 1, t - 1},
        {COLOR_BTNSHADOW, l + 1, b - 2, r - 2, b - 2, r - 2, t},
    };
    for (const Line& line : lines) {
        CPen pen(PS_SOLID, 0, ::GetSysColor(line.colour));
        HGDIOBJ previous = dc->SelectObject(&pen);
        dc->MoveTo(line.x0, line.y0);
        dc->LineTo(line.x1, line.y1);
        dc->LineTo(line.x2, line.y2);
        dc->SelectObject(previous);
    }
    return 0;
}

CRect ImageButton::PlaceImage(BOOL hasCaption, const RECT* item, CRect* caption, BOOL pressed, int width, int height) const {
    CRect image(*item);
    if (!hasCaption) {
        image.left += (image.Width() - width) / 2;
        image.top += (image.Height() - height) / 2;
    } else if (m_placement == ImageLeft) {
        image.left += m_marginX;
        caption->left += width + m_marginX;
        image.top += (image.Height() - height) / 2;
    } else {
        image.left += (image.Width() - width) / 2;
        image.top = m_marginY;
        caption->top += height;
    }
    if (pressed) image.OffsetRect(m_pushShiftX, m_pushShiftY);
    return image;
}

void ImageButton::PaintIcon(CDC* dc, BOOL hasCaption, const RECT* item, CRect* caption, BOOL pressed, BOOL disabled) {
    int index = (pressed || m_bHover) ? 0 : (m_icons[1].icon ? 1 : 0);
    const IconEntry& entry = m_icons[index];
    CRect image = PlaceImage(hasCaption, item, caption, pressed, entry.width, entry.height);
    dc->DrawState(image.TopLeft(), image.Size(), entry.icon, disabled ? DSS_DISABLED : DSS_NORMAL, nullptr);
}

void ImageButton::PaintCaption(CDC* dc, const CString& text, const RECT*, CRect* caption, BOOL pressed, BOOL disabled) {
    if (pressed) caption->OffsetRect(m_pushShiftX, m_pushShiftY);
    CRect centre = *caption;
    dc->DrawText(text, caption, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    caption->OffsetRect((centre.Width() - caption->Width()) / 2, (centre.Height() - caption->Height()) / 2);
    dc->SetBkMode(TRANSPARENT);
    if (disabled) {
        caption->OffsetRect(1, 1);
        dc->SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
        dc->DrawText(text, caption, DT_WORDBREAK | DT_CENTER);
        caption->OffsetRect(-1, -1);
        dc->SetTextColor(::GetSysColor(COLOR_BTNSHADOW));
        dc->DrawText(text, caption, DT_WORDBREAK | DT_CENTER);
    } else {
        int state = StateIndex();
        dc->SetTextColor(m_text[state]);
        dc->SetBkColor(m_background[state]);
        dc->DrawText(text, caption, DT_WORDBREAK | DT_CENTER);
    }
}

BOOL ImageButton::OnSetCursor(HWND wnd, UINT hitTest, UINT message) {
    if (m_hCursor) {
        ::SetCursor(m_hCursor);
        return TRUE;
    }
    return CButton::OnSetCursor(wnd, hitTest, message);
}

void ImageButton::OnKillFocus(HWND newFocus) {
    CButton::OnKillFocus(newFocus);
    EndHover();
}

void ImageButton::OnMouseMove(UINT flags, CPoint point) {
    CButton::OnMouseMove(flags, point);
    ClientToScreen(&point);
    HWND under = ::WindowFromPoint(point);
    if ((flags & MK_LBUTTON) && !m_bHover) return;
    if (!m_bFlat) return;  // 3D buttons never hover
    if (under == m_hWnd) {
        if (!m_bHover) {
            m_bHover = TRUE;
            Invalidate();
            TRACKMOUSEEVENT track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = m_hWnd;
            ::TrackMouseEvent(&track);
        }
    } else {
        EndHover();
    }
}

void ImageButton::EndHover() {
    if (m_bFlat && m_bHover) {
        m_bHover = FALSE;
        Invalidate();
    }
}

void ImageButton::OnSysColorChange() {
    CButton::OnSysColorChange();
    DiscardSnapshot();
    ReadColours();
    Invalidate();
}

BOOL ImageButton::OnClicked() {
    SetFocus();
    return FALSE;  // the parent's own handler runs too
}

void ImageButton::OnActivate(UINT state, HWND other, BOOL minimized) {
    CButton::OnActivate(state, other, minimized);
    if (state == WA_INACTIVE) EndHover();
}

void ImageButton::OnEnable(BOOL enable) {
    CButton::OnEnable(enable);
    if (!enable) {
        // The focus moves on whether or not this button had it.
        CWnd* parent = GetParent();
        if (parent) {
            CWnd* next = parent->GetNextDlgTabItem(this, FALSE);
            if (next && next->m_hWnd != m_hWnd)
                next->SetFocus();
            else
                parent->SetFocus();
        }
        EndHover();
    }
}

void ImageButton::OnCancelMode() {
    CButton::OnCancelMode();
    EndHover();
}

UINT ImageButton::OnGetDlgCode() {
    UINT code = CButton::OnGetDlgCode();
    return code | (m_bDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

HBRUSH ImageButton::CtlColor(HDC, UINT) { return reinterpret_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)); }

LRESULT ImageButton::OnSetStyle(WPARAM wParam, LPARAM lParam) {
    DWORD kind = static_cast<DWORD>(wParam) & 0x1F;
    if (kind == BS_DEFPUSHBUTTON)
        m_bDefault = TRUE;
    else if (kind == BS_PUSHBUTTON)
        m_bDefault = FALSE;
    return DefWindowProc(BM_SETSTYLE, (wParam & ~static_cast<WPARAM>(0x1F)) | BS_OWNERDRAW, lParam);
}

LRESULT ImageButton::OnMouseLeave(WPARAM, LPARAM) {
    EndHover();
    return 0;
}
