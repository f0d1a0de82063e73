#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "CRect.h"
#include "CSize.h"
#include "CString.h"
#include "MControl.h"
#include "QLUIExport.h"

// The base of every control that shows a title or a skin image: a title, a
// font description, a text colour, alignment (DrawText values: horizontal 0
// left, 1 centre, 2 right; vertical 0 top, 4 centre, 8 bottom), a cached GDI
// font and one image strip from the window's image cache. It draws nothing
// itself; DrawTitleText is the text recipe the controls share.
class QLUI_API MControlFont : public MControl {
public:
    MControlFont(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled, int response);
    ~MControlFont() override;

    virtual void SetTextFont(CString name);                                        // slot 38
    virtual void SetTextColor(Gdiplus::Color colour);                              // slot 39
    virtual int SetImage(UINT resourceId, CString resourceType, int count);        // slot 40
    virtual int SetImage(const wchar_t* name, int count);                          // slot 41

    void SetTitle(const wchar_t* title);
    CString GetTitle() { return GetControlTitle(); }
    void SetAlignment(UINT h);
    void SetVAlignment(UINT v);
    void SetAlignment(UINT h, UINT v);
    void GetAlignment(UINT& h, UINT& v) const { h = m_nAlign; v = m_nVAlign; }
    void SetFont(const wchar_t* name, int size, Gdiplus::FontStyle style);
    void SetFontStyle(Gdiplus::FontStyle style) { m_fontStyle = style; }
    void SetFontWidth(int size) { m_nFontSize = size; }
    void SetTextRenderingHint(Gdiplus::TextRenderingHint hint) { m_textHint = hint; }
    void SetImageCount(int count) { m_nImageCount = count; }

    CString GetTextFont() const { return m_strFontName; }
    int GetFontWidth() const { return m_nFontSize; }
    Gdiplus::FontStyle GetFontStyle() const { return m_fontStyle; }
    Gdiplus::Color GetTextColor() const { return m_textColor; }
    Gdiplus::TextRenderingHint GetTextRenderingHint() const { return m_textHint; }
    CString GetImagePath() const { return m_strImagePath; }
    CSize GetImageSize() const { return CSize(m_nImageWidth, m_nImageHeight); }
    int GetImageCount() const { return m_nImageCount; }
    Gdiplus::Image* GetImage() const { return m_pImage; }

    // The library's shared family (chosen by the library font name, not by
    // name); the control keeps a clone, which it owns. Null without a manager.
    Gdiplus::FontFamily* GetFontFamily(const wchar_t* name);
    HFONT GetGDIFont();
    void ClearGDIFont();

    // GDI+ string format of the shared recipe: DrawText-style alignment values
    // mapped to near, centre, far; flags 0x1800 single line, 0x4800 wrapping.
    static void InitStringFormat(Gdiplus::StringFormat& format, UINT h, UINT v, INT flags);
    static constexpr INT kSingleLine = 0x1800;
    static constexpr INT kMultiLine = 0x4800;

protected:
    virtual void SetControlTitle(const wchar_t* title);                            // slot 42
    virtual CString GetControlTitle();                                             // slot 43

    // The text recipe: the library family at emSize pixels in the control's
    // style, drawn with brush (the text brush when null) into layout.
    void DrawTitleText(Gdiplus::Graphics& graphics, const CString& text, const Gdiplus::RectF& layout,
                       const Gdiplus::StringFormat& format, Gdiplus::REAL emSize, const Gdiplus::Brush* brush);
    // The font size multiplied by the library scale, truncated.
    Gdiplus::REAL ScaledFontSize() const;
    // Asks the parent to repaint this control when it is visible.
    void RequestUpdate(int rebuild);

    CString m_strTitle;
    CString m_strFontName;
    CString m_strImagePath;
    int m_nFontSize;
    Gdiplus::Color m_textColor;
    Gdiplus::SolidBrush* m_pTextBrush;
    Gdiplus::FontStyle m_fontStyle;
    Gdiplus::FontFamily* m_pFontFamily;
    UINT m_nAlign;
    UINT m_nVAlign;
    Gdiplus::TextRenderingHint m_textHint;
    HFONT m_hGDIFont;
    Gdiplus::Image* m_pImage;
    int m_nImageWidth;
    int m_nImageHeight;
    int m_nImageCount;
};
