// PaintManager: tooltip, balloon, message strip and caret.
#include "PaintManager.h"

#include <commctrl.h>

#include <algorithm>

#include "MControl.h"
#include "MRender.h"
#include "Manager.h"

namespace {

const UINT_PTR kToolId = 1313;

// The manager's own timers live on its window; without one they are not set
// (a null window would create a thread timer with an id of the system's choosing).
void ArmTimer(HWND hwnd, UINT id, UINT elapse)
{
    if (hwnd != nullptr && ::IsWindow(hwnd))
        ::SetTimer(hwnd, id, elapse, nullptr);
}

void DisarmTimer(HWND hwnd, UINT id)
{
    if (hwnd != nullptr && ::IsWindow(hwnd))
        ::KillTimer(hwnd, id);
}
const AirBladderOps* g_airBladderOps = nullptr;

TTTOOLINFOW ToolInfo(HWND owner, UINT flags, const wchar_t* text)
{
    // The V2 layout is accepted by every comctl32 on 64-bit; the 44-byte
    // layout only exists on 32-bit.
    TTTOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = flags;
    info.hwnd = owner;
    info.uId = kToolId;
    info.lpszText = const_cast<wchar_t*>(text);
    return info;
}

} // namespace

void PaintManager::SetTooltip(const wchar_t* text, CRect)
{
    if (text == nullptr || text[0] == 0) {
        if (m_hTooltip != nullptr) {
            TTTOOLINFOW info = ToolInfo(m_hWndPaint, TTF_TRACK | TTF_ABSOLUTE | TTF_PARSELINKS, L"");
            ::SendMessageW(m_hTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
            ::SendMessageW(m_hTooltip, TTM_ACTIVATE, FALSE, 0);
        }
        return;
    }
    if (m_hWndPaint == nullptr || !::IsWindow(m_hWndPaint))
        return;
    if (m_hTooltip == nullptr) {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
        m_hTooltip = ::CreateWindowExW(WS_EX_TOPMOST, L"tooltips_class32", L"tooltips_class32",
                                       WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint, nullptr, Manager::GetInstance(),
                                       nullptr);
        if (m_hTooltip == nullptr)
            return;
        ::SendMessageW(m_hTooltip, TTM_SETMAXTIPWIDTH, 0, 256);
        ::SendMessageW(m_hTooltip, TTM_SETTIPBKCOLOR, 0xFFFFFF, 0);
        TTTOOLINFOW info = ToolInfo(m_hWndPaint, TTF_PARSELINKS, text);
        ::GetClientRect(m_hWndPaint, &info.rect);
        ::SendMessageW(m_hTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        ::SendMessageW(m_hTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
        if (::GetACP() == 936) {
            RECT margins = {2, 3, 0, 0};
            ::SendMessageW(m_hTooltip, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margins));
        }
        ::SendMessageW(m_hTooltip, TTM_ACTIVATE, TRUE, 0);
        return;
    }
    TTTOOLINFOW info = ToolInfo(m_hWndPaint, TTF_TRACK | TTF_ABSOLUTE | TTF_PARSELINKS, text);
    ::SendMessageW(m_hTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    ::SendMessageW(m_hTooltip, TTM_ACTIVATE, TRUE, 0);
}

void PaintManager::ClearTooltip()
{
    SetTooltip(nullptr, CRect());
    m_nTooltipCtrlId = 0;
}

void PaintManager::SetAirBladderOps(const AirBladderOps* ops) { g_airBladderOps = ops; }

BOOL PaintManager::SetAirBladderMsg(const wchar_t* text, POINT point, AIRBLADDER_TYPE type, AIRBLADDER_MODE mode)
{
    if (g_airBladderOps == nullptr)
        return FALSE;
    if (m_pAirBladder == nullptr)
        m_pAirBladder = g_airBladderOps->create(this, m_hWndPaint);
    if (m_pAirBladder == nullptr)
        return FALSE;
    return g_airBladderOps->setMessage(m_pAirBladder, text, point, type, mode);
}

BOOL PaintManager::ShowAirBladder(BOOL show, int ownerId)
{
    HWND balloon = GetAirBladderWnd();
    if (balloon == nullptr)
        return FALSE;
    if (ownerId != 0) {
        if (!show && m_nAirBladderOwner != 0 && ownerId != m_nAirBladderOwner)
            return FALSE;
        m_nAirBladderOwner = ownerId;
    }
    ::ShowWindow(balloon, show ? SW_SHOW : SW_HIDE);
    return TRUE;
}

HWND PaintManager::GetAirBladderWnd() const
{
    if (m_pAirBladder == nullptr || g_airBladderOps == nullptr)
        return nullptr;
    return g_airBladderOps->window(m_pAirBladder);
}

void PaintManager::DestroyAirBladder()
{
    if (m_pAirBladder != nullptr && g_airBladderOps != nullptr)
        g_airBladderOps->destroy(m_pAirBladder);
    m_pAirBladder = nullptr;
}

void PaintManager::InvalidateStrip() { InvalidateRect(m_rcMsg, FALSE); }

void PaintManager::SetMessage(CString text, CRect rect, MsgLevel level)
{
    DisarmTimer(m_hWndPaint, kMsgShowTimerId);
    DisarmTimer(m_hWndPaint, kMsgFadeTimerId);
    m_nMsgAlpha = 255;
    m_strMsg = text;
    m_msgLevel = level;
    m_rcMsg = rect;
    m_nMsgProgress = 0;
    InvalidateStrip();
    ArmTimer(m_hWndPaint, kMsgShowTimerId, 3000);
}

void PaintManager::SetProgress(int value, CString text, CRect rect)
{
    if (value == m_nMsgTarget)
        return;
    if (value < 5)
        DisarmTimer(m_hWndPaint, kMsgFadeTimerId);
    m_nMsgAlpha = 255;
    m_strMsg = text;
    m_nMsgTarget = value;
    if (rect.IsRectEmpty()) {
        CRect client;
        GetClientRect(client);
        m_rcMsg = CRect(client.left, client.bottom - 60, client.right, client.bottom - 2);
    } else {
        m_rcMsg = rect;
    }
    if (m_nMsgTarget - m_nMsgProgress < 6) {
        m_nMsgProgress = m_nMsgTarget;
        InvalidateStrip();
        if (m_nMsgProgress > 99)
            ArmTimer(m_hWndPaint, kMsgFadeTimerId, 50);
    } else {
        ArmTimer(m_hWndPaint, kMsgProgressTimerId, 10);
    }
}

void PaintManager::OnMessageTimer(UINT id)
{
    if (id == kMsgShowTimerId) {
        DisarmTimer(m_hWndPaint, kMsgShowTimerId);
        ArmTimer(m_hWndPaint, kMsgFadeTimerId, 50);
    } else if (id == kMsgFadeTimerId) {
        m_nMsgAlpha -= 10;
        if (m_nMsgAlpha < 20) {
            m_nMsgAlpha = 0;
            m_nMsgProgress = 0;
            DisarmTimer(m_hWndPaint, kMsgFadeTimerId);
        }
    } else if (id == kMsgProgressTimerId) {
        m_nMsgProgress += 2;
        if (m_nMsgProgress >= m_nMsgTarget) {
            m_nMsgProgress = m_nMsgTarget;
            DisarmTimer(m_hWndPaint, kMsgProgressTimerId);
        }
        if (m_nMsgProgress >= 100)
            ArmTimer(m_hWndPaint, kMsgFadeTimerId, 50);
    }
    InvalidateStrip();
}

void PaintManager::DrawMessageStrip(HDC dc, const CRect& rect)
{
    CRect common;
    if (m_nMsgAlpha <= 0 || m_rcMsg.IsRectEmpty() || !common.IntersectRect(&m_rcMsg, &rect))
        return;
    if (m_strMsg.IsEmpty() && m_nMsgProgress <= 0)
        return;
    static const DWORD levelColours[] = {0x303030, 0x2080C0, 0x2020C0};
    DWORD colour = levelColours[m_msgLevel >= 0 && m_msgLevel <= 2 ? m_msgLevel : 0];
    BYTE alpha = static_cast<BYTE>(m_nMsgAlpha * 220 / 255);
    Gdiplus::Graphics graphics(dc);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    MRender::DrawRoundRectange(graphics, static_cast<float>(m_rcMsg.left), static_cast<float>(m_rcMsg.top),
                               static_cast<float>(m_rcMsg.Width() - 1), static_cast<float>(m_rcMsg.Height() - 1), 6.0f,
                               Gdiplus::Color(alpha, GetRValue(colour), GetGValue(colour), GetBValue(colour)));
    if (m_nMsgProgress > 0) {
        int width = m_rcMsg.Width() * std::min(m_nMsgProgress, 100) / 100;
        Gdiplus::SolidBrush bar(Gdiplus::Color(static_cast<BYTE>(m_nMsgAlpha), 0xFF, 0xE1, 0x00));
        graphics.FillRectangle(&bar, m_rcMsg.left, m_rcMsg.bottom - 4, width, 3);
    }
    if (!m_strMsg.IsEmpty()) {
        Gdiplus::FontFamily* family = FindTempFont(nullptr);
        Gdiplus::FontFamily fallback(L"Arial");
        Gdiplus::Font font(family ? family : &fallback, static_cast<Gdiplus::REAL>(Manager::GetFontWidth()),
                           Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
        Gdiplus::StringFormat format;
        format.SetAlignment(Gdiplus::StringAlignmentCenter);
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        format.SetFormatFlags(0x1800);
        Gdiplus::SolidBrush text(Gdiplus::Color(static_cast<BYTE>(m_nMsgAlpha), 0xFF, 0xFF, 0xFF));
        Gdiplus::RectF layout(static_cast<float>(m_rcMsg.left), static_cast<float>(m_rcMsg.top),
                              static_cast<float>(m_rcMsg.Width()), static_cast<float>(m_rcMsg.Height()));
        graphics.DrawString(m_strMsg.GetString(), m_strMsg.GetLength(), &font, layout, &format, &text);
    }
}

BOOL PaintManager::CreateCaret(HBITMAP bitmap, int width, int height)
{
    if (!::CreateCaret(m_hWndPaint, bitmap, width, height))
        return FALSE;
    m_rcCaret.right = m_rcCaret.left + width;
    m_rcCaret.bottom = m_rcCaret.top + height;
    return TRUE;
}

BOOL PaintManager::SetCaretPos(MControl* owner, int x, int y)
{
    if (!::SetCaretPos(x, y))
        return FALSE;
    m_pCaretOwner = owner;
    InvalidateRect(m_rcCaret, FALSE);
    m_rcCaret.MoveToXY(x, y);
    InvalidateRect(m_rcCaret, FALSE);
    return TRUE;
}

BOOL PaintManager::ShowCaret(BOOL show)
{
    if (show == m_bCaretShown)
        return TRUE;
    m_bCaretShown = show;
    if (show) {
        ArmTimer(m_hWndPaint, kCaretTimerId, ::GetCaretBlinkTime());
        if (!m_bCaretPhase) {
            InvalidateRect(m_rcCaret, FALSE);
            m_bCaretPhase = TRUE;
        }
    } else {
        DisarmTimer(m_hWndPaint, kCaretTimerId);
        if (m_bCaretPhase)
            InvalidateRect(m_rcCaret, FALSE);
    }
    return TRUE;
}

void PaintManager::DrawCaret(HDC dc, const CRect& rect)
{
    if (m_pCaretOwner == nullptr || !m_pCaretOwner->IsFocused() || ::GetFocus() != m_hWndPaint) {
        if (m_bCaretShown)
            DisarmTimer(m_hWndPaint, kCaretTimerId);
        if (m_bCaretPhase)
            InvalidateRect(m_rcCaret, FALSE);
        m_bCaretPhase = FALSE;
        return;
    }
    CRect visible;
    if (m_bCaretPhase && m_bCaretShown && visible.IntersectRect(&m_rcCaret, &rect))
        MRender::DrawColor(dc, visible, m_caretColor);
}
