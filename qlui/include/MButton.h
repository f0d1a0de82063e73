#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "MControlFont.h"
#include "QLUIExport.h"

// A skinned push button with a caption. Its image strip holds four frames
// (normal, hover, pressed, disabled), drawn nine-slice; all four states are
// rendered once side by side and a state change only selects the quarter
// shown. Notifies its parent with code 1 when pressed and 2 when clicked.
class QLUI_API MButton : public MControlFont {
public:
    enum State { STATE_NORMAL = 0, STATE_HOVER = 1, STATE_PRESSED = 2, STATE_DISABLED = 3 };

    MButton(MObject* parent, UINT id, CRect rect, const wchar_t* title, int visible, int enabled);
    ~MButton() override;

    void DrawControl(HDC& dc, CRect paint) override;
    void SetControlEnabled(int enabled) override;
    int OnControlMouseMove(UINT flags, CPoint pt) override;
    int OnControlLButtonDown(UINT flags, CPoint pt) override;
    int OnControlLButtonUp(UINT flags, CPoint pt) override;

    void SetFrameSize(int size) { m_nFrameSize = size; }
    void SetTextRect(CRect rect) { m_rcText = rect; }
    int SetIconImage(const wchar_t* name, int count);
    int GetState() const { return m_nState; }

protected:
    // Called after every change of the state shown.
    virtual void OnStateChanged() {}
    // Copies the window background under the control into the four quarters.

    int m_nState;
    int m_nFrameSize;
    Gdiplus::Image* m_pIcon;
    int m_nIconWidth;
    int m_nIconHeight;
    int m_nIconCount;
    CRect m_rcText;
};
