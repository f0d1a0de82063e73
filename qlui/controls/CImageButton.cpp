#include "CImageButton.h"

#include <objidl.h>
#include <gdiplus.h>

#include "PaintManager.h"

CImageButton::CImageButton(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled)
    : MButton(parent, id, rect, title, visible, enabled), m_nAirBladderMode(0)
{
}

void CImageButton::OnStateChanged() { SetAirBladderInfo(); }

void CImageButton::SetAirBladderInfo()
{
    if (m_nAirBladderMode == 0 || m_strTitle.IsEmpty() || m_pManager == nullptr)
        return;
    if (m_nState != STATE_HOVER) {
        if (HWND balloon = m_pManager->GetAirBladderWnd())
            ::ShowWindow(balloon, SW_HIDE);
        return;
    }
    POINT pt = {m_nAirBladderMode == 1 ? m_rect.right : m_rect.left, m_rect.top + (m_rect.bottom - m_rect.top) / 2};
    HWND window = m_pManager->GetPaintWnd();
    if (window == nullptr || !::IsWindow(window))
        return;
    ::ClientToScreen(window, &pt);
    m_pManager->SetAirBladderMsg(m_strTitle, pt, 5, m_nAirBladderMode);
    // Shown without activation: taking the activation from the window would
    // end the hover that shows the bubble.
    if (HWND balloon = m_pManager->GetAirBladderWnd())
        ::ShowWindow(balloon, SW_SHOWNOACTIVATE);
}

void CImageButton::DrawControl(HDC& dc, CRect)
{
    int w = m_rect.Width();
    int h = m_rect.Height();
    if (RebuildCache(dc, 4, true)) {
        Gdiplus::Graphics graphics(m_hMemDC);
        for (int i = 0; i < 4; ++i) {
            if (m_pImage != nullptr)
                graphics.DrawImage(m_pImage, Gdiplus::Rect(i * w, 0, w, h), i * m_nImageWidth, 0, m_nImageWidth,
                                   m_nImageHeight, Gdiplus::UnitPixel);
            if (m_pIcon != nullptr)
                graphics.DrawImage(m_pIcon,
                                   Gdiplus::Rect(i * w + (w - m_nIconWidth) / 2 + 2, (h - m_nIconHeight) / 2 - 4,
                                                 m_nIconWidth, m_nIconHeight),
                                   0, 0, m_nIconWidth, m_nIconHeight, Gdiplus::UnitPixel);
        }
    }
    ShowCache(dc, m_nState);
}
