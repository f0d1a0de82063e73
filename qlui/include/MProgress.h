#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "ImgResInfo.h"
#include "MControlFont.h"
#include "QLUIExport.h"

// A progress bar: a background and a foreground image with end caps, or a
// two-frame strip (track and fill), or without images a thin line with a
// yellow fill at the bottom of the control. While running (SetRun) it advances
// one step every third timer tick and wraps at the maximum.
class QLUI_API MProgress : public MControlFont {
public:
    MProgress(MObject* parent, UINT id, CRect rect, int visible, int enabled);

    void DrawControl(HDC& dc, CRect paint) override;
    int OnControlTimer() override;

    int SetProgress(int progress);
    int GetProgress() const { return m_nProgress; }
    int SetRun(int run, int progress);
    int IsRun() const { return m_bRunning; }
    void SetMaxProgress(int maximum) { m_nMaxProgress = maximum; }
    int GetMaxProgress() const { return m_nMaxProgress; }
    void EnableShowText(int show) { m_bShowText = show; }
    bool SetBackGroundImage(CString name);
    bool SetBackGroundImage(UINT resourceId);
    bool SetForeGroundImage(CString name);
    bool SetForeGroundImage(UINT resourceId);

protected:
    bool TakeImage(ImgResInfo* info, Gdiplus::Image*& image, int& width, int& height);

    int m_nProgress;
    int m_nMaxProgress;
    int m_nTick;
    int m_nTicksPerStep;
    int m_nCapWidth;
    int m_bShowText;
    int m_nBarHeight;
    Gdiplus::Color m_lineColor;
    Gdiplus::Color m_fillColor;
    Gdiplus::Image* m_pBackImage;
    Gdiplus::Image* m_pForeImage;
    int m_nBackWidth;
    int m_nBackHeight;
    int m_nForeWidth;
    int m_nForeHeight;
};
