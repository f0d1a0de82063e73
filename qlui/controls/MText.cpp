#include "MText.h"

// A label never takes input: it is created disabled, so clicks go to its parent.
MText::MText(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible)
    : MControlFont(parent, id, rect, title, visible, 0, 1), m_bShadow(0), m_bTextBack(0), m_backColor(0xFF008000),
      m_markColor(0xFFED801B), m_bMark(0), m_bMultiLine(0), m_bVCenter(0)
{
}

void MText::EnableTextBack(int enable, Gdiplus::Color colour)
{
    if (enable != m_bTextBack) {
        m_bTextBack = enable;
        m_backColor = colour;
    }
    RequestUpdate(1);
}

void MText::SetMarkText(const wchar_t* mark)
{
    if (mark == nullptr || m_strMark == mark)
        return;
    m_strMark = mark;
    RequestUpdate(1);
}

void MText::SetMarkText(const wchar_t* mark, Gdiplus::Color colour, int flag)
{
    if (mark == nullptr || (m_strMark == mark && m_markColor.GetValue() == colour.GetValue() && m_bMark == flag))
        return;
    m_strMark = mark;
    m_markColor = colour;
    m_bMark = flag;
    RequestUpdate(1);
}

void MText::SetMarkText(const wchar_t* title, const wchar_t* mark, Gdiplus::Color colour, int flag)
{
    if (title == nullptr)
        return;
    CString newMark(mark ? mark : L"");
    if (m_strTitle == title && m_strMark == newMark && m_markColor.GetValue() == colour.GetValue() && m_bMark == flag)
        return;
    SetControlTitle(title);
    m_strMark = newMark;
    m_markColor = colour;
    m_bMark = flag;
    RequestUpdate(1);
}

void MText::SetTitleMarkText(const wchar_t* title, const wchar_t* mark, int flag)
{
    if (title == nullptr)
        return;
    CString newMark(mark ? mark : L"");
    if (m_strTitle == title && m_strMark == newMark && m_bMark == flag)
        return;
    SetControlTitle(title);
    m_strMark = newMark;
    m_bMark = flag;
    RequestUpdate(1);
}

LRESULT MText::OnBaseMessage(UINT id, UINT msg, UINT wParam, LPARAM lParam)
{
    OnMessage(id, msg, wParam, lParam);
    return 0;
}

LRESULT MText::OnMessage(UINT id, UINT msg, UINT, LPARAM)
{
    if (id == 1 && msg == 8)
        RequestUpdate(1);
    return 0;
}

int MText::OnControlScroll(int, UINT, CPoint) { return 1; }

void MText::DrawControl(HDC& dc, CRect)
{
    int w = m_rect.Width();
    int h = m_rect.Height();
    if (RebuildCache(dc, 1, !m_bTextBack)) {
        Gdiplus::Graphics graphics(m_hMemDC);
        if (m_bTextBack) {
            Gdiplus::SolidBrush back(m_backColor);
            graphics.FillRectangle(&back, 0, 0, w, h);
        }
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        Gdiplus::StringFormat format(0, LANG_NEUTRAL);
        UINT v = (m_bMultiLine && m_bVCenter) ? 4 : m_nVAlign;
        InitStringFormat(format, m_nAlign, v, m_bMultiLine ? kMultiLine : kSingleLine);
        Gdiplus::RectF layout(0, 0, static_cast<Gdiplus::REAL>(w), static_cast<Gdiplus::REAL>(h));
        DrawTitleText(graphics, GetControlTitle(), layout, format, ScaledFontSize(), nullptr);
    }
    ShowCache(dc, 0);
}
