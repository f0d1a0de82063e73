#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "MControl.h"
#include "QLUIExport.h"

// A colour panel: a veil of the fill colour over the window background whose
// transparency runs from the start to the end percentage (top to bottom), or,
// with both transparencies 0, an almost opaque fill with an optional frame.
class QLUI_API CArea : public MControl {
public:
    CArea(MObject* parent, UINT id, CRect rect, int visible, int enabled);

    void DrawControl(HDC& dc, CRect paint) override;

    void SetTransparent(int startPercent, int endPercent, COLORREF colour);
    void SetFrame(int frame, Gdiplus::Color colour, int);

protected:
    int m_nDirection;
    int m_nStartTransparent;
    int m_nEndTransparent;
    COLORREF m_crFill;
    int m_bFrame;
    Gdiplus::Color m_frameColor;
};
