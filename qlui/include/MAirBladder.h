#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "CString.h"
#include "MWindow.h"
#include "PaintManager.h"
#include "QLUIExport.h"

// The hover balloon of a window: a small layered popup that shows one line of
// text next to a point on the screen, with an arrow towards the point. Its
// pictures come from the skin: "img_tip_bk.png" (body, nine-slice) and
// "img_tip_arrow_left.png", "img_tip_arrow_right.png", "img_tip_arrow_top.png".
// Mode 1 puts it to the right of the point, mode 2 to the left, any other mode
// below it (type 0 starting at the point, 2 ending at it, else centred).
// Unless the type is 4 it hides itself after 5 seconds; it hides when it loses
// the activation unless the mode is 5.
class QLUI_API MAirBladder : public MWindow {
public:
    explicit MAirBladder(PaintManager* owner);
    ~MAirBladder() override;

    LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    HWND CreateBalloon(HWND owner);
    // FALSE when nothing changed (same text, point, type and mode).
    BOOL SetMessage(const wchar_t* text, POINT point, AIRBLADDER_TYPE type, AIRBLADDER_MODE mode);

    CString GetText() const { return m_text; }
    POINT GetPoint() const { return m_point; }
    AIRBLADDER_TYPE GetType() const { return m_type; }
    AIRBLADDER_MODE GetMode() const { return m_mode; }
    // The balloon's window rectangle on the screen after the last SetMessage.
    RECT GetBalloonRect() const { return m_rcWindow; }

    static constexpr UINT kHideTimerId = 10;
    static constexpr UINT kHideDelay = 5000;

private:
    void Render();
    Gdiplus::Image* Picture(Gdiplus::Image*& slot, const wchar_t* name);

    PaintManager* m_pOwner;
    CString m_text;
    POINT m_point;
    AIRBLADDER_TYPE m_type;
    AIRBLADDER_MODE m_mode;
    bool m_bHasMessage;
    RECT m_rcWindow;
    Gdiplus::Image* m_pBody;
    Gdiplus::Image* m_pArrowLeft;
    Gdiplus::Image* m_pArrowRight;
    Gdiplus::Image* m_pArrowTop;
};
