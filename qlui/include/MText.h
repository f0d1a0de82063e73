#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "MControlFont.h"
#include "QLUIExport.h"

// A text label: one line (no wrap) or, with multi-line on, wrapping text,
// over the window background or over a background colour of its own.
class QLUI_API MText : public MControlFont {
public:
    MText(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible);

    void DrawControl(HDC& dc, CRect paint) override;
    LRESULT OnBaseMessage(UINT id, UINT msg, UINT wParam, LPARAM lParam) override;
    LRESULT OnMessage(UINT id, UINT msg, UINT wParam, LPARAM lParam) override;
    int OnControlScroll(int delta, UINT flags, CPoint pt) override;

    void EnableMultiLine(int enable) { m_bMultiLine = enable; }
    void EnableVCenter(int enable) { m_bVCenter = enable; }
    void EnableShadow(int enable) { m_bShadow = enable; }
    void EnableTextBack(int enable, Gdiplus::Color colour);
    // The mark text is stored but not drawn; a null first argument changes nothing.
    void SetMarkText(const wchar_t* mark);
    void SetMarkText(const wchar_t* mark, Gdiplus::Color colour, int flag);
    void SetMarkText(const wchar_t* title, const wchar_t* mark, Gdiplus::Color colour, int flag);
    void SetTitleMarkText(const wchar_t* title, const wchar_t* mark, int flag);
    CString GetMarkText() const { return m_strMark; }
    int GetVirtualHeight() { return 0; }

protected:
    int m_bShadow;
    int m_bTextBack;
    Gdiplus::Color m_backColor;
    Gdiplus::Color m_markColor;
    CString m_strMark;
    int m_bMark;
    int m_bMultiLine;
    int m_bVCenter;
};
