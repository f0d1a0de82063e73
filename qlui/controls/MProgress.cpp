#include "MProgress.h"

#include "MRender.h"
#include "PaintManager.h"

MProgress::MProgress(MObject* parent, UINT id, CRect rect, int visible, int enabled)
    : MControlFont(parent, id, rect, nullptr, visible, enabled, 1), m_nProgress(0), m_nMaxProgress(100), m_nTick(0),
      m_nTicksPerStep(3), m_nCapWidth(12), m_bShowText(0), m_nBarHeight(14), m_lineColor(0x64050505),
      m_fillColor(0xFFFFE100), m_pBackImage(nullptr), m_pForeImage(nullptr), m_nBackWidth(0), m_nBackHeight(0),
      m_nForeWidth(0), m_nForeHeight(0)
{
    SetTextColor(Gdiplus::Color(0xFF808080));
    m_nAlign = 1;
    m_nVAlign = 4;
    m_nImageCount = 2;
}

int MProgress::SetProgress(int progress)
{
    if (!m_bEnabled)
        return m_nProgress;
    if (progress > m_nMaxProgress)
        progress = m_nMaxProgress;
    if (progress < 0 || progress == m_nProgress)
        return m_nProgress;
    m_nProgress = progress;
    RequestUpdate(1);
    return m_nProgress;
}

int MProgress::SetRun(int run, int progress)
{
    if (!m_bEnabled)
        return m_bRunning;
    bool changed = run != m_bRunning;
    m_bRunning = run;
    if (progress >= 0 && progress <= m_nMaxProgress && progress != m_nProgress) {
        m_nProgress = progress;
        changed = true;
    }
    if (changed)
        RequestUpdate(1);
    return m_bRunning;
}

int MProgress::OnControlTimer()
{
    if (!m_bRunning || !m_bVisible)
        return 0;
    if (++m_nTick < m_nTicksPerStep)
        return 0;
    m_nTick = 0;
    if (++m_nProgress >= m_nMaxProgress)
        m_nProgress = 0;
    RequestUpdate(1);
    return 1;
}

bool MProgress::TakeImage(ImgResInfo* info, Gdiplus::Image*& image, int& width, int& height)
{
    if (info == nullptr)
        return false;
    image = info->image;
    width = info->frameWidth;
    height = info->frameHeight;
    RequestUpdate(1);
    return true;
}

bool MProgress::SetBackGroundImage(CString name)
{
    return m_pManager != nullptr
           && TakeImage(m_pManager->AddImgResInfo(name, 1), m_pBackImage, m_nBackWidth, m_nBackHeight);
}

bool MProgress::SetBackGroundImage(UINT resourceId)
{
    return m_pManager != nullptr
           && TakeImage(m_pManager->AddImgResInfo(resourceId, L"PNG", 1, 1), m_pBackImage, m_nBackWidth,
                        m_nBackHeight);
}

bool MProgress::SetForeGroundImage(CString name)
{
    return m_pManager != nullptr
           && TakeImage(m_pManager->AddImgResInfo(name, 1), m_pForeImage, m_nForeWidth, m_nForeHeight);
}

bool MProgress::SetForeGroundImage(UINT resourceId)
{
    return m_pManager != nullptr
           && TakeImage(m_pManager->AddImgResInfo(resourceId, L"PNG", 1, 1), m_pForeImage, m_nForeWidth,
                        m_nForeHeight);
}

void MProgress::DrawControl(HDC& dc, CRect)
{
    int w = m_rect.Width();
    int h = m_rect.Height();
    if (RebuildCache(dc, 1, true)) {
        Gdiplus::Graphics graphics(m_hMemDC);
        int maximum = m_nMaxProgress > 0 ? m_nMaxProgress : 1;
        int fill = static_cast<int>(static_cast<long long>(w) * m_nProgress / maximum);
        int cap = m_nCapWidth;
        if (m_pForeImage != nullptr) {
            if (m_pBackImage != nullptr)
                MRender::DrawImageFrameMID(graphics, m_pBackImage, CRect(0, 0, w, h), 0, 0, m_nBackWidth,
                                           m_nBackHeight, cap, 0, cap, 0);
            if (m_nProgress > 0) {
                if (fill < cap)
                    graphics.DrawImage(m_pForeImage, Gdiplus::Rect(0, 0, fill, h), 0, 0, fill, m_nForeHeight,
                                       Gdiplus::UnitPixel);
                else
                    MRender::DrawImageFrameMID(graphics, m_pForeImage, CRect(0, 0, fill, h), 0, 0, m_nForeWidth,
                                               m_nForeHeight, cap, 0, cap, 0);
            }
        } else if (m_pImage != nullptr) {
            MRender::DrawImageFrame(graphics, m_pImage, CRect(0, 0, w, m_nBarHeight), 0, 0, m_nImageWidth,
                                    m_nImageHeight, 2);
            if (m_nProgress > 0)
                MRender::DrawImageFrame(graphics, m_pImage, CRect(0, 0, fill, m_nBarHeight), m_nImageWidth, 0,
                                        m_nImageWidth, m_nImageHeight, 2);
        } else {
            Gdiplus::Pen line(m_lineColor, 1.0f);
            graphics.DrawLine(&line, 1, h - 2, w, h - 2);
            if (m_nProgress > 0) {
                Gdiplus::SolidBrush brush(m_fillColor);
                graphics.FillRectangle(&brush, 0, h - 3, fill, 3);
            }
        }
        if (m_bShowText) {
            CString text;
            text.Format(L"%s%d%s", m_strTitle.GetString(), m_nProgress, m_nMaxProgress == 100 ? L"%" : L"");
            graphics.SetTextRenderingHint(m_textHint);
            Gdiplus::StringFormat format(0, LANG_NEUTRAL);
            InitStringFormat(format, 1, 4, kSingleLine);
            Gdiplus::RectF layout((w - 60) * 0.5f, 0, 60, 20);
            DrawTitleText(graphics, text, layout, format, static_cast<Gdiplus::REAL>(m_nFontSize), nullptr);
        }
    }
    ShowCache(dc, 0);
}
