#pragma once
#include <windows.h>

#include <vector>

#include "CPoint.h"
#include "CRect.h"
#include "CString.h"
#include "MObject.h"
#include "MWindow.h"
#include "PaintManager.h"
#include "QLUIExport.h"

class MControl;
class MShadow;

// Result codes a dialog closes with (the wParam of message 0x0442 and of the
// WM_CLOSE that ends ShowModal).
enum { QLUI_IDOK = 1, QLUI_IDCANCEL = 2, QLUI_IDYES = 6, QLUI_IDNO = 7 };

// The message a dialog posts to itself to close with a result.
constexpr UINT WM_QLUI_CLOSEWINDOW = 0x0442;

// The base of every top-level window of an application: a window with its own
// control manager. It turns window messages into calls of the virtual
// handlers below, creates controls by class name, passes control
// notifications to OnMessage and closes with a result that ends ShowModal.
// The order of the virtual operations is part of the library's interface.
class QLUI_API MDialog : public MWindow, public MObject {
public:
    MDialog();
    ~MDialog() override;                                                           // slot 0
    // slots 1..3: GetWindowClassName ("QLWindow"), GetSuperClassName (null), ShowWindow
    LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;      // slot 4
    BOOL PreTranslateMessage(MSG* msg) override;                                   // slot 5
    BOOL OnInitDialog() override;                                                  // slot 6
    void OnDestroyMessage(HWND hwnd) override;                                     // slot 7
    virtual POINT GetAirBladderPoint(MControl* control, UINT type);                // slot 8
    virtual void OnMinimize();                                                     // slot 9
    virtual void OnMaximize();                                                     // slot 10
    virtual void InitUI(CRect client);                                             // slot 11
    virtual void UISize(CRect client);                                             // slot 12
    virtual LRESULT OnMessage(UINT id, UINT code, UINT wParam, LPARAM lParam);     // slot 13
    virtual LRESULT OnUserCloseWindow(WPARAM code, LPARAM lParam);                 // slot 14
    virtual BOOL OnCreate(CREATESTRUCTW* create);                                  // slot 15
    virtual LRESULT OnSize(UINT type, int cx, int cy);                             // slot 16
    virtual LRESULT OnMouseMove(UINT keys, CPoint pt);                             // slot 17
    virtual LRESULT OnMouseLeave(UINT wParam, LONG lParam);                        // slot 18
    virtual LRESULT OnMouseHover(UINT wParam, LONG lParam);                        // slot 19
    virtual LRESULT OnMouseWheel(UINT keys, short delta, CPoint pt);               // slot 20
    virtual LRESULT OnLButtonDown(UINT keys, CPoint pt);                           // slot 21
    virtual LRESULT OnLButtonUp(UINT keys, CPoint pt);                             // slot 22
    virtual LRESULT OnLButtonDblClk(UINT keys, CPoint pt);                         // slot 23
    virtual LRESULT OnRButtonDown(UINT keys, CPoint pt);                           // slot 24
    virtual LRESULT OnRButtonUp(UINT keys, CPoint pt);                             // slot 25
    virtual LRESULT OnRButtonDblClk(UINT keys, CPoint pt);                         // slot 26
    virtual LRESULT OnKeyDown(UINT key, UINT repeat, UINT flags);                  // slot 27
    virtual LRESULT OnNcHitTest(CPoint pt);                                        // slot 28
    virtual LRESULT OnGetMinMaxInfo(MINMAXINFO* info);                             // slot 29
    virtual LRESULT OnNcCalcSize(BOOL calcValid, NCCALCSIZE_PARAMS* params);       // slot 30
    virtual LRESULT OnNcActivate(BOOL active);                                     // slot 31
    virtual LRESULT OnWindowPosChanging(WINDOWPOS* pos);                           // slot 32
    virtual LRESULT OnWindowPosChanged(WINDOWPOS* pos);                            // slot 33
    virtual LRESULT OnPaint();                                                     // slot 34
    virtual void OnTimer(UINT id);                                                 // slot 35
    virtual LRESULT OnNcPaint();                                                   // slot 36
    virtual LRESULT OnClose();                                                     // slot 37
    virtual LRESULT OnDestroy();                                                   // slot 38
    virtual LRESULT PostNcDestroy();                                               // slot 39

    // MObject side
    const wchar_t* GetClassNameW() override;
    LRESULT OnBaseMessage(UINT id, UINT code, UINT wParam, LPARAM lParam) override;
    LRESULT OnControlUpdate(CRect rect, BOOL flag, MControl* control) override;

    // Controls by class name: into the control list, or the area list (painted
    // first, no input). Null for an empty or unknown name.
    MControl* CreateControl(const wchar_t* className, UINT id, CRect rect, const wchar_t* text, int visible,
                            int enabled);
    MControl* CreateArea(const wchar_t* className, UINT id, CRect rect, const wchar_t* text, int visible,
                         int enabled);
    MControl* GetControl(UINT id);
    std::vector<MControl*>& GetControls();
    void SetFocusControl(MControl* control);
    PaintManager* GetPaintManager() { return &m_PaintManager; }

    // Close with a result: 1, 2, 2, 6, 7.
    void DoOK();
    void DoCancel();
    void DoClose();
    void DoYes();
    void DoNo();

    BOOL LoadBKImage(CString fileName);
    BOOL LoadBKImage(UINT resourceId, CString resourceType);
    void SetBackMode(enumBackMode mode, int param);
    void SetLayeredWindow(BOOL layered);
    void EnableWndDrag(BOOL enable);
    void SetupBackTranslucent();
    // Whole-window translucency applied by SetupBackTranslucent: an alpha
    // other than 255 wins over a colour key other than 0xFFFFFF.
    void SetBackTranslucent(int alpha, COLORREF colourKey);
    void SetScrollResID(UINT vertical, UINT horizontal);
    void SetupRegion(int);

    void SetTooltip(CString text, CRect rect);
    void ClearTooltip();
    void SetTooltipCtrlID(int id) { m_nTooltipCtrlID = id; }
    int GetTooltipCtrlID() const { return m_nTooltipCtrlID; }

    BOOL SetAirBladderMsg(const wchar_t* text, POINT screenPoint, AIRBLADDER_TYPE type);
    void SetMessage(CString text, CRect rect, MsgLevel level);
    void SetProgress(int value, CString text, CRect rect);
    UINT SetMTimer(UINT elapse);
    void KillMTimer(UINT id);

    // Window shadow. Out-of-range values return FALSE and change nothing.
    BOOL CreateShadow(BOOL show, bool flag);
    BOOL SetSize(int size);                      // -35 .. 35
    BOOL SetSharpness(UINT sharpness);           // 0 .. 35
    BOOL SetDarkness(UINT darkness);             // 0 .. 255
    BOOL SetPosition(int x, int y);              // each -35 .. 35
    BOOL SetShadowColor(COLORREF colour);
    BOOL SetShadowImage(const wchar_t* file, CRect edges);
    BOOL SetShadowImage(UINT resourceId, CRect edges);
    BOOL SetShadowShow(BOOL show);

protected:
    // The shadow of this dialog, made on first use.
    MShadow* Shadow();

    PaintManager m_PaintManager;
    COLORREF m_crTranslucentKey;
    int m_nTranslucentAlpha;
    int m_nMsgOffset;
    int m_nTooltipCtrlID;
    CRect m_rcClient;

private:
    MDialog(const MDialog&) = delete;
    MDialog& operator=(const MDialog&) = delete;
};
