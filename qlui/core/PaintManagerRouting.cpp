// PaintManager: window messages and input routing to the controls.
#include "PaintManager.h"

#include <commctrl.h>

#include <cstdlib>

#include "MControl.h"
#include "ScopedLock.h"
#include "UniqueResource.h"

namespace {

CPoint ClientPoint(LPARAM lParam) { return CPoint(lParam); }

// A disabled control (a label, say) never takes the pointer: its parent does.
bool TakesMouse(MControl* control, CPoint pt)
{
    return control->IsEnabled() && control->GetRresponse() && control->PtInRect(pt);
}

} // namespace

UINT PaintManager::GetModifierCode()
{
    UINT code = 0;
    if (::GetKeyState(VK_CONTROL) & 0x8000)
        code |= 0x11;
    if (::GetKeyState(VK_SHIFT) & 0x8000)
        code |= 0x10;
    if (::GetKeyState(VK_MENU) & 0x8000)
        code |= 0x12;
    return code;
}

LRESULT PaintManager::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    {
        ScopedLock lock(m_csControls);
        for (size_t i = 0; i < m_controls.size(); ++i) {
            if (m_controls[i]->OnWindowMessage(msg, wParam, lParam) != 0)
                return 0;
        }
    }
    switch (msg) {
    case WM_CREATE:
    case WM_DESTROY:
    case WM_SIZE:
    case WM_CHAR:
    case WM_MOUSEHOVER:
        return 1;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (m_nMinCx > 0)
            info->ptMinTrackSize.x = m_nMinCx;
        if (m_nMinCy > 0)
            info->ptMinTrackSize.y = m_nMinCy;
        if (m_nMaxCx > 0) {
            info->ptMaxTrackSize.x = m_nMaxCx;
            info->ptMaxSize.x = m_nMaxCx;
        }
        if (m_nMaxCy > 0) {
            info->ptMaxTrackSize.y = m_nMaxCy;
            info->ptMaxSize.y = m_nMaxCy;
        }
        return 1;
    }
    case WM_PAINT:
        return OnPaint();
    case WM_NCDESTROY:
        DestroyData();
        return 1;
    case WM_NCACTIVATE:
        OnActivateMsg(static_cast<BOOL>(wParam));
        return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        OnKeyDownMsg(static_cast<UINT>(wParam));
        return 1;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        return 0;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (lParam == 0)
            return 0;
        return ::SendMessageW(reinterpret_cast<HWND>(lParam), msg + 0x2000, wParam, lParam);
    case WM_TIMER:
        OnTimerMsg(static_cast<UINT>(wParam));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMoveMsg(static_cast<UINT>(wParam), ClientPoint(lParam));
        return 1;
    case WM_LBUTTONDOWN:
        OnLButtonDownMsg(static_cast<UINT>(wParam), ClientPoint(lParam), FALSE);
        return 1;
    case WM_LBUTTONUP:
        OnLButtonUpMsg(static_cast<UINT>(wParam), ClientPoint(lParam));
        return 1;
    case WM_LBUTTONDBLCLK:
        OnLButtonDownMsg(static_cast<UINT>(wParam), ClientPoint(lParam), TRUE);
        return 1;
    case WM_RBUTTONDOWN:
        OnRButtonDownMsg(static_cast<UINT>(wParam), ClientPoint(lParam));
        return 1;
    case WM_RBUTTONUP:
        OnRButtonUpMsg(static_cast<UINT>(wParam), ClientPoint(lParam), FALSE);
        return 1;
    case WM_RBUTTONDBLCLK:
        OnRButtonUpMsg(static_cast<UINT>(wParam), ClientPoint(lParam), TRUE);
        return 1;
    case WM_MOUSEWHEEL:
        return OnMouseWheelMsg(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), lParam);
    case WM_MOUSELEAVE:
        OnMouseLeaveMsg();
        return 1;
    default:
        return 0;
    }
}

BOOL PaintManager::PreTranslateMessage(MSG* msg)
{
    switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (msg->wParam == VK_TAB) {
            UINT modifiers = GetModifierCode();
            if (modifiers == 0 || modifiers == 0x10) {
                MControl* next = modifiers == 0 ? GetNextFocusableControl() : GetPrevFocusableControl();
                if (next != m_pFocus)
                    SetFocusControl(next);
                return TRUE;
            }
        }
        return FALSE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
        if (m_hTooltip != nullptr)
            ::SendMessageW(m_hTooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
        return FALSE;
    default:
        return FALSE;
    }
}

void PaintManager::OnMouseMoveMsg(UINT keys, CPoint pt)
{
    if (!m_bMouseTracking) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = m_hWndPaint;
        track.dwHoverTime = 400;
        m_bMouseTracking = ::TrackMouseEvent(&track);
    }
    if ((keys & MK_LBUTTON) && m_bDragPending)
        StartDrag();

    if (m_pHover != nullptr) {
        if (m_pHover->PtInRect(pt) && m_pHover->OnCheckMouseResponse(keys, pt) && m_bMouseTracking) {
            m_pHover->OnMouseMove(keys, pt);
            return;
        }
        ClearTooltip();
    }
    if (m_bLButtonDown)
        return;
    if (!m_bMouseTracking) {
        m_pHover = nullptr;
        return;
    }
    MControl* candidate = nullptr;
    {
        ScopedLock lock(m_csControls);
        for (size_t i = 0; i < m_controls.size(); ++i) {
            MControl* control = m_controls[i];
            control->OnMouseMove(keys, pt);
            if (TakesMouse(control, pt))
                candidate = control;
        }
    }
    m_pHover = candidate;
}

void PaintManager::OnMouseLeaveMsg()
{
    ClearTooltip();
    m_bMouseTracking = FALSE;
    if (m_bLButtonDown)
        return;
    if (m_pHover != nullptr)
        m_pHover->OnMouseMove(0, CPoint(-1, -1));
    m_pHover = nullptr;
}

// The second press of a fast pair arrives as a double-click: it presses like
// the first (capture, pressed flag, window drag) and reaches the control as one.
void PaintManager::OnLButtonDownMsg(UINT keys, CPoint pt, BOOL dblClk)
{
    if (m_pFocus != m_pHover) {
        if (m_pFocus != nullptr)
            m_pFocus->SetControlFocus(FALSE);
        m_pFocus = nullptr;
    }
    MControl* hover = m_pHover;
    if (hover != nullptr && hover->IsVisible() && TakesMouse(hover, pt) && hover->OnCheckMouseResponse(keys, pt)) {
        if (hover->IsDragDrop()) {
            m_bDragPending = TRUE;
            CloseMember<UniqueGdiObject>(m_hDragBitmap);
            m_hDragBitmap = hover->GetControlDropBitmap();
        }
        m_bLButtonDown = TRUE;
        m_pFocus = hover;
        int handled = dblClk ? hover->OnLButtonDblClk(keys, pt) : hover->OnLButtonDown(keys, pt);
        if (!m_bCaptured && hover->OnCheckMouseResponse(keys, pt)) {
            ::SetCapture(m_hWndPaint);
            m_bCaptured = TRUE;
            return;
        }
        if (handled)
            return;
    }
    if (!m_bWndDrag)
        return;
    ReleaseCapture();
    SendMessageW(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
}

void PaintManager::OnLButtonUpMsg(UINT keys, CPoint pt)
{
    if (m_bCaptured) {
        ::ReleaseCapture();
        m_bCaptured = FALSE;
    }
    m_bLButtonDown = FALSE;
    // A release without a drag ends the pending one.
    m_bDragPending = FALSE;
    if (m_pHover == nullptr)
        return;
    if (m_pHover->IsVisible() && m_pHover->GetRresponse()) {
        CRect remembered = m_pHover->GetRect();
        m_pHover->OnLButtonUp(keys, pt);
        if (!remembered.PtInRect(pt))
            m_pHover = nullptr;
    } else {
        m_pHover = nullptr;
    }
}

void PaintManager::OnRButtonDownMsg(UINT keys, CPoint pt)
{
    if (m_pFocus != m_pHover) {
        if (m_pFocus != nullptr)
            m_pFocus->SetControlFocus(FALSE);
        m_pFocus = nullptr;
    }
    MControl* hover = m_pHover;
    if (hover == nullptr || !hover->IsVisible() || !TakesMouse(hover, pt) || !hover->OnCheckMouseResponse(keys, pt))
        return;
    m_pFocus = hover;
    hover->OnRButtonDown(keys, pt);
    if (!m_bCaptured && hover->OnCheckMouseResponse(keys, pt)) {
        ::SetCapture(m_hWndPaint);
        m_bCaptured = TRUE;
    }
}

void PaintManager::OnRButtonUpMsg(UINT keys, CPoint pt, BOOL dblClk)
{
    if (!dblClk && m_bCaptured) {
        ::ReleaseCapture();
        m_bCaptured = FALSE;
    }
    if (m_pHover == nullptr)
        return;
    if (m_pHover->IsVisible() && m_pHover->GetRresponse()) {
        CRect remembered = m_pHover->GetRect();
        if (dblClk)
            m_pHover->OnRButtonDblClk(keys, pt);
        else
            m_pHover->OnRButtonUp(keys, pt);
        if (!remembered.PtInRect(pt))
            m_pHover = nullptr;
    } else {
        m_pHover = nullptr;
    }
}

LRESULT PaintManager::OnMouseWheelMsg(UINT keys, short delta, LPARAM lParam)
{
    POINT screen = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ScreenToClient(m_hWndPaint, &screen);
    CPoint pt(screen);
    int notches = delta / 120;
    UINT down = notches <= 0 ? 1 : 0;
    LRESULT taken = 0;
    for (int step = 0; step < std::abs(notches); ++step) {
        if (m_pHover != nullptr && m_pHover->OnScroll(1, down, pt)) {
            taken = 1;
            continue;
        }
        ScopedLock lock(m_csControls);
        for (size_t i = 0; i < m_controls.size(); ++i) {
            if (m_controls[i]->OnScroll(1, keys, pt)) {
                taken = 1;
                break;
            }
        }
    }
    return taken;
}

void PaintManager::OnKeyDownMsg(UINT vk)
{
    UINT modifiers = GetModifierCode();
    if (m_pHover != nullptr && m_pHover->OnKeyDown(vk, 1, modifiers))
        return;
    ScopedLock lock(m_csControls);
    for (size_t i = 0; i < m_controls.size(); ++i) {
        if (m_controls[i]->OnKeyDown(vk, 1, modifiers))
            return;
    }
}

void PaintManager::OnActivateMsg(BOOL active)
{
    m_bActive = active;
    if (!active) {
        m_bMouseTracking = FALSE;
        m_bCaptured = FALSE;
        m_bDragPending = FALSE;
        if (m_bLButtonDown) {
            m_bLButtonDown = FALSE;
            if (m_pHover != nullptr)
                m_pHover->OnLButtonUp(0, CPoint(-1, -1));
        } else if (m_pHover != nullptr) {
            m_pHover->OnMouseMove(0, CPoint(-1, -1));
        }
        m_pHover = nullptr;
    }
    Invalidate();
}
