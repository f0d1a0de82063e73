#include "MControlFont.h"

#include <cwchar>

#include "Manager.h"
#include "PaintManager.h"
#include "UniqueResource.h"

MControlFont::MControlFont(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled,
                           int response)
    : MControl(parent, id, rect, visible, enabled, response), m_strTitle(title ? title : L""),
      m_strFontName(Manager::GetFontName()), m_nFontSize(Manager::GetFontWidth()), m_textColor(0xFFFFFFFF),
      m_pTextBrush(new Gdiplus::SolidBrush(m_textColor)), m_fontStyle(Gdiplus::FontStyleRegular),
      m_pFontFamily(nullptr), m_nAlign(0), m_nVAlign(4), m_textHint(Gdiplus::TextRenderingHintClearTypeGridFit),
      m_hGDIFont(nullptr), m_pImage(nullptr), m_nImageWidth(0), m_nImageHeight(0), m_nImageCount(4)
{
}

MControlFont::~MControlFont()
{
    ClearGDIFont();
    delete m_pTextBrush;
    delete m_pFontFamily;
}

void MControlFont::SetTextFont(CString name) { m_strFontName = name; }

void MControlFont::SetTextColor(Gdiplus::Color colour)
{
    delete m_pTextBrush;
    m_textColor = colour;
    m_pTextBrush = new Gdiplus::SolidBrush(colour);
}

namespace {

// Takes a strip of the window's image cache; false when the cache has none.
bool TakeStrip(const ImgResInfo* info, int count, Gdiplus::Image*& image, int& width, int& height, int& frames)
{
    if (info == nullptr)
        return false;
    image = info->image;
    width = info->frameWidth;
    height = info->frameHeight;
    frames = count;
    return true;
}

} // namespace

int MControlFont::SetImage(UINT resourceId, CString resourceType, int count)
{
    if (m_pManager == nullptr
        || !TakeStrip(m_pManager->AddImgResInfo(resourceId, resourceType, count, 1), count, m_pImage, m_nImageWidth,
                      m_nImageHeight, m_nImageCount))
        return 0;
    RequestUpdate(1);
    return 1;
}

int MControlFont::SetImage(const wchar_t* name, int count)
{
    if (m_pManager == nullptr
        || !TakeStrip(m_pManager->AddImgResInfo(name, count), count, m_pImage, m_nImageWidth, m_nImageHeight,
                      m_nImageCount))
        return 0;
    RequestUpdate(1);
    return 1;
}

void MControlFont::SetControlTitle(const wchar_t* title) { m_strTitle = title ? title : L""; }
CString MControlFont::GetControlTitle() { return m_strTitle; }

void MControlFont::SetTitle(const wchar_t* title)
{
    ClearGDIFont();
    SetControlTitle(title);
    RequestUpdate(1);
}

void MControlFont::SetAlignment(UINT h)
{
    if (h == m_nAlign)
        return;
    m_nAlign = h;
    RequestUpdate(1);
}

void MControlFont::SetVAlignment(UINT v)
{
    if (v == m_nVAlign)
        return;
    m_nVAlign = v;
    RequestUpdate(1);
}

void MControlFont::SetAlignment(UINT h, UINT v)
{
    if (h == m_nAlign && v == m_nVAlign)
        return;
    m_nAlign = h;
    m_nVAlign = v;
    RequestUpdate(1);
}

void MControlFont::SetFont(const wchar_t* name, int size, Gdiplus::FontStyle style)
{
    m_strFontName = name ? name : L"";
    m_nFontSize = size;
    m_fontStyle = style;
}

Gdiplus::FontFamily* MControlFont::GetFontFamily(const wchar_t* name)
{
    if (m_pManager == nullptr)
        return nullptr;
    Gdiplus::FontFamily* shared = m_pManager->FindTempFont(name);
    if (shared == nullptr)
        return nullptr;
    delete m_pFontFamily;
    m_pFontFamily = shared->Clone();
    return m_pFontFamily;
}

HFONT MControlFont::GetGDIFont()
{
    if (m_hGDIFont != nullptr)
        return m_hGDIFont;
    LOGFONTW lf = {};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    CString face = Manager::GetFontName();
    std::wcsncpy(lf.lfFaceName, face.GetString(), LF_FACESIZE - 1);
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
    lf.lfHeight = -m_nFontSize;
    lf.lfCharSet = DEFAULT_CHARSET;
    if (m_fontStyle & Gdiplus::FontStyleBold)
        lf.lfWeight += FW_BOLD;
    if (m_fontStyle & Gdiplus::FontStyleItalic)
        lf.lfItalic = TRUE;
    if (m_fontStyle & Gdiplus::FontStyleUnderline)
        lf.lfUnderline = TRUE;
    m_hGDIFont = ::CreateFontIndirectW(&lf);
    return m_hGDIFont;
}

void MControlFont::ClearGDIFont()
{
    CloseMember<UniqueGdiObject>(m_hGDIFont);
}

void MControlFont::InitStringFormat(Gdiplus::StringFormat& format, UINT h, UINT v, INT flags)
{
    if (h == 0)
        format.SetAlignment(Gdiplus::StringAlignmentNear);
    else if (h == 1)
        format.SetAlignment(Gdiplus::StringAlignmentCenter);
    else if (h == 2)
        format.SetAlignment(Gdiplus::StringAlignmentFar);
    if (v == 0)
        format.SetLineAlignment(Gdiplus::StringAlignmentNear);
    else if (v == 4)
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    else if (v == 8)
        format.SetLineAlignment(Gdiplus::StringAlignmentFar);
    format.SetFormatFlags(flags);
}

Gdiplus::REAL MControlFont::ScaledFontSize() const
{
    return static_cast<Gdiplus::REAL>(static_cast<int>(static_cast<float>(m_nFontSize) * Manager::GetScaleValue()));
}

void MControlFont::DrawTitleText(Gdiplus::Graphics& graphics, const CString& text, const Gdiplus::RectF& layout,
                                 const Gdiplus::StringFormat& format, Gdiplus::REAL emSize,
                                 const Gdiplus::Brush* brush)
{
    Gdiplus::FontFamily* family = GetFontFamily(m_strFontName);
    if (family == nullptr || text.IsEmpty() || emSize <= 0)
        return;
    Gdiplus::Font font(family, emSize, m_fontStyle, Gdiplus::UnitPixel);
    graphics.DrawString(text.GetString(), text.GetLength(), &font, layout, &format,
                        brush != nullptr ? brush : m_pTextBrush);
}

void MControlFont::RequestUpdate(int rebuild)
{
    if (m_bVisible && m_pParent != nullptr)
        m_pParent->OnControlUpdate(m_rect, rebuild, this);
}
