#include "CArea.h"

#include "MRender.h"
#include "ScopedSelect.h"
#include "UniqueResource.h"

CArea::CArea(MObject* parent, UINT id, CRect rect, int visible, int enabled)
    : MControl(parent, id, rect, visible, enabled, 1), m_nDirection(1), m_nStartTransparent(80),
      m_nEndTransparent(80), m_crFill(0xFFFFFF), m_bFrame(0), m_frameColor(0xFE050505)
{
}

void CArea::SetTransparent(int startPercent, int endPercent, COLORREF colour)
{
    m_nStartTransparent = startPercent;
    m_nEndTransparent = endPercent;
    m_crFill = colour;
    if (m_bVisible && m_pParent != nullptr)
        m_pParent->OnControlUpdate(m_rect, 1, this);
}

void CArea::SetFrame(int frame, Gdiplus::Color colour, int)
{
    m_bFrame = frame;
    m_frameColor = colour;
    if (m_bVisible && m_pParent != nullptr)
        m_pParent->OnControlUpdate(m_rect, 1, this);
}

void CArea::DrawControl(HDC& dc, CRect)
{
    int w = m_rect.Width();
    int h = m_rect.Height();
    if (RebuildCache(dc, 1, true)) {
        Gdiplus::Color fill(0xFE, GetRValue(m_crFill), GetGValue(m_crFill), GetBValue(m_crFill));
        if (m_nStartTransparent != 0 || m_nEndTransparent != 0) {
            UniqueMemoryDc veilDC(::CreateCompatibleDC(dc));
            UniqueGdiObject veil(::CreateCompatibleBitmap(dc, w, h));
            ScopedSelect selected(veilDC.get(), veil.get());
            {
                Gdiplus::Graphics graphics(veilDC.get());
                Gdiplus::SolidBrush brush(fill);
                graphics.FillRectangle(&brush, 0, 0, w, h);
            }
            CRect whole(0, 0, w, h);
            HDC veilSource = veilDC.get();
            MRender::DrawVerticalTransition(m_hMemDC, veilSource, whole, whole, m_nStartTransparent,
                                            m_nEndTransparent);
        } else {
            Gdiplus::Graphics graphics(m_hMemDC);
            Gdiplus::SolidBrush brush(fill);
            if (m_bFrame) {
                Gdiplus::SolidBrush frame(m_frameColor);
                graphics.FillRectangle(&frame, 0, 0, w, h);
                graphics.FillRectangle(&brush, 1, 1, w - 2, h - 2);
            } else {
                graphics.FillRectangle(&brush, 0, 0, w, h);
            }
        }
    }
    ShowCache(dc, 0);
}
