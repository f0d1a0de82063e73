#include "MPicture.h"

#include <algorithm>

#include "MRender.h"
#include "Manager.h"

MPicture::MPicture(MObject* parent, UINT id, CRect rect, int visible, int enabled)
    : MControlFont(parent, id, rect, nullptr, visible, enabled, 1), m_showMode(SHOWMODE_ALIGN), m_nCorner(4),
      m_nMarginLeft(0), m_nMarginTop(0), m_nMarginRight(0), m_nMarginBottom(0)
{
    m_nImageCount = 1;
}

MPicture::~MPicture() { delete m_pImage; }

int MPicture::TakeImage(Gdiplus::Image* image, int count)
{
    delete m_pImage;
    m_pImage = image;
    m_nImageWidth = m_nImageHeight = 0;
    if (image != nullptr) {
        if (count < 1)
            count = 1;
        m_nImageWidth = static_cast<int>(image->GetWidth()) / count;
        m_nImageHeight = static_cast<int>(image->GetHeight());
        m_nImageCount = count;
    }
    RequestUpdate(1);
    return image != nullptr ? 1 : 0;
}

int MPicture::SetImage(const wchar_t* name, int count)
{
    m_strImagePath = name ? name : L"";
    return TakeImage(name ? MRender::LoadImageFromFile(GetSkinFolder() + name) : nullptr, count);
}

int MPicture::SetImage(UINT resourceId, CString resourceType, int count)
{
    m_strImagePath.Empty();
    return TakeImage(MRender::LoadImageFromIDResource(resourceId, resourceType, Manager::GetInstance()), count);
}

int MPicture::SetShowMode(enumShowMode mode, int param)
{
    if (mode == m_showMode && (mode != SHOWMODE_FRAME || param == m_nCorner))
        return 0;
    m_showMode = mode;
    if (mode == SHOWMODE_FRAME)
        m_nCorner = param;
    RequestUpdate(1);
    return 1;
}

int MPicture::SetShowModeMID(int left, int top, int right, int bottom)
{
    m_nMarginLeft = left;
    m_nMarginTop = top;
    m_nMarginRight = right;
    m_nMarginBottom = bottom;
    m_showMode = SHOWMODE_FRAMEMID;
    RequestUpdate(1);
    return 1;
}

void MPicture::DrawControl(HDC& dc, CRect)
{
    int w = m_rect.Width();
    int h = m_rect.Height();
    if (RebuildCache(dc, 1, true)) {
        int fw = m_nImageWidth;
        int fh = m_nImageHeight;
        if (m_pImage != nullptr && fw > 0 && fh > 0) {
            Gdiplus::Graphics graphics(m_hMemDC);
            switch (m_showMode) {
            case SHOWMODE_ALIGN: {
                int x = m_nAlign == 0 ? 0 : (m_nAlign == 2 ? w - fw : (w - fw) / 2);
                int y = m_nVAlign == 0 ? 0 : (m_nVAlign == 8 ? h - fh : (h - fh) / 2);
                graphics.DrawImage(m_pImage, Gdiplus::Rect(x, y, fw, fh), 0, 0, fw, fh, Gdiplus::UnitPixel);
                break;
            }
            case SHOWMODE_TILE:
                for (int n = 0; n <= w / fw; ++n) {
                    for (int r = 0; r <= h / fh; ++r) {
                        int cw = std::min(fw, w - n * fw);
                        int ch = std::min(fh, h - r * fh);
                        if (cw > 0 && ch > 0)
                            graphics.DrawImage(m_pImage, Gdiplus::Rect(n * fw, r * fh, cw, ch), 0, 0, cw, ch,
                                               Gdiplus::UnitPixel);
                    }
                }
                break;
            case SHOWMODE_STRETCH:
                graphics.DrawImage(m_pImage, Gdiplus::Rect(0, 0, w, h), 0, 0, fw, fh, Gdiplus::UnitPixel);
                break;
            case SHOWMODE_FRAME:
                MRender::DrawImageFrame(graphics, m_pImage, CRect(0, 0, w, h), 0, 0, fw, fh, m_nCorner);
                break;
            case SHOWMODE_FRAMEMID:
                MRender::DrawImageFrameMID(graphics, m_pImage, CRect(0, 0, w, h), 0, 0, fw, fh, m_nMarginLeft,
                                           m_nMarginTop, m_nMarginRight, m_nMarginBottom);
                break;
            case SHOWMODE_CUSTOM:
                graphics.DrawImage(m_pImage, Gdiplus::Rect(0, 0, w, h), m_rcCustom.left, m_rcCustom.top,
                                   m_rcCustom.Width(), m_rcCustom.Height(), Gdiplus::UnitPixel);
                break;
            default:
                break;
            }
        }
    }
    ShowCache(dc, 0);
}
