#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "MControlFont.h"
#include "QLUIExport.h"

// How a picture places frame 0 of its image in the control.
enum enumShowMode {
    SHOWMODE_ALIGN = 0,      // own size, placed by the alignment values
    SHOWMODE_TILE = 1,       // tiled from the top-left, cut at the edges
    SHOWMODE_STRETCH = 2,    // stretched over the control
    SHOWMODE_FRAME = 3,      // nine-slice with one corner size
    SHOWMODE_FRAMEMID = 4,   // nine-slice with four margins
    SHOWMODE_CUSTOM = 5,     // a source rectangle stretched over the control
};

// An image with six placement modes. Unlike other controls it owns its image.
class QLUI_API MPicture : public MControlFont {
public:
    MPicture(MObject* parent, UINT id, CRect rect, int visible, int enabled);
    ~MPicture() override;

    void DrawControl(HDC& dc, CRect paint) override;
    int SetImage(UINT resourceId, CString resourceType, int count) override;
    int SetImage(const wchar_t* name, int count) override;

    int SetShowMode(enumShowMode mode, int param);
    int SetShowModeMID(int left, int top, int right, int bottom);
    void SetCustomRect(CRect rect) { m_rcCustom = rect; }
    enumShowMode GetShowMode() const { return m_showMode; }

protected:
    // Takes a freshly loaded image (or none) as the picture's image.
    int TakeImage(Gdiplus::Image* image, int count);

    enumShowMode m_showMode;
    int m_nCorner;
    int m_nMarginLeft;
    int m_nMarginTop;
    int m_nMarginRight;
    int m_nMarginBottom;
    CRect m_rcCustom;
};
