#pragma once
#include <windows.h>

#include <vector>

#include "CRect.h"
#include "CString.h"
#include "MObject.h"
#include "QLUIExport.h"

class PaintManager;
struct MouseButton;

// A layout item: kind 0 offset from an edge, 1 offset from the centre,
// 2 percentage of the span; value is truncated to int where used.
struct FS_POSITION_ITEM {
    int kind;
    int fromEnd;
    float value;
};

// Root of every control: a rectangle in a window's client area, owned by a
// parent object, attached to the window's PaintManager and drawn into its
// back buffer. The virtual slot order is part of the library's interface.
class QLUI_API MControl : public MObject {
public:
    MControl(MObject* parent, UINT id, CRect rect, int visible, int enabled, int response);
    virtual ~MControl();                                                        // slot 0
    // slots 1..6 are MObject's
    const wchar_t* GetClassNameW() override;                                    // slot 2
    LRESULT OnBaseMessage(UINT id, UINT msg, UINT wparam, LPARAM lparam) override;   // slot 5
    LRESULT OnControlUpdate(CRect rect, BOOL rebuild, MControl* control) override;  // slot 6
    virtual void InitControl(PaintManager* manager);                            // slot 7
    virtual int OnScroll(int delta, UINT flags, CPoint pt);                     // slot 8
    virtual int PtInRect(CPoint pt);                                            // slot 9
    virtual void DrawControl(HDC& dc, CRect paint) = 0;                         // slot 10
    virtual int DrawSubControls(HDC& dc, CRect paint);                          // slot 11
    virtual int IsDraw(CPoint pt);                                              // slot 12
    virtual void SetUpdate(int update, DWORD param);                            // slot 13
    virtual int SetControlFocus(int focus);                                     // slot 14
    virtual void InitUI(CRect rect);                                            // slot 15
    virtual int OnMousePointChange(CPoint& pt);                                 // slot 16
    virtual int OnCheckMouseResponse(UINT flags, CPoint pt);                    // slot 17
    virtual LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam);    // slot 18
    virtual LRESULT OnMessage(UINT id, UINT msg, UINT wparam, LPARAM lparam);   // slot 19
    virtual void SetControlRect(CRect rect);                                    // slot 20
    virtual void SetControlVisible(int visible);                                // slot 21
    virtual void SetControlWndVisible(int visible);                             // slot 22
    virtual void SetControlEnabled(int enabled);                                // slot 23
    virtual int OnControlTimer();                                               // slot 24
    virtual HBITMAP GetControlDropBitmap();                                     // slot 25
    virtual int OnControlMouseMove(UINT flags, CPoint pt);                      // slot 26
    virtual int OnControlSetCursor(UINT flags, CPoint pt);                      // slot 27
    virtual int OnControlLButtonDown(UINT flags, CPoint pt);                    // slot 28
    virtual int OnControlLButtonUp(UINT flags, CPoint pt);                      // slot 29
    virtual int OnControlLButtonDblClk(UINT flags, CPoint pt);                  // slot 30
    virtual int OnControlScroll(int delta, UINT flags, CPoint pt);              // slot 31
    virtual int OnControlRButtonDown(UINT flags, CPoint pt);                    // slot 32
    virtual int OnControlRButtonUp(UINT flags, CPoint pt);                      // slot 33
    virtual int OnControlRButtonDblClk(UINT flags, CPoint pt);                  // slot 34
    virtual int OnControlKeyDown(UINT key, UINT repeat, UINT flags);            // slot 35
    virtual void OnPositionChange();                                            // slot 36
    virtual void InvalidateRect(const RECT* rect, BOOL erase);                  // slot 37

    MObject* GetParantObject() const { return m_pParent; }
    void SetParent(MObject* parent) { m_pParent = parent; }
    PaintManager* GetManager() const { return m_pManager; }
    void SetManager(PaintManager* manager);
    UINT GetControlID() const { return m_nID; }
    CRect GetRect() const { return m_rect; }
    int IsVisible() const { return m_bVisible; }
    int IsEnabled() const { return m_bEnabled; }
    int IsDragDrop() const { return m_bDragDrop; }
    void SetDragDrop(int dragDrop) { m_bDragDrop = dragDrop; }
    int GetRresponse() const { return m_bResponse; }
    void SetRresponse(int response) { m_bResponse = response; }
    int IsTabStop() const { return m_bTabStop; }
    void SetTabStop(int tabStop) { m_bTabStop = tabStop; }
    int GetDblClk() const { return m_bDblClk; }
    void SetDblClk(int dblClk) { m_bDblClk = dblClk; }
    void SetDblClkNotify(int notify) { m_bDblClkNotify = notify; }
    void SetKeyNotify(int notify) { m_bKeyNotify = notify; }
    void SetHoverTracking(int tracking) { m_bHoverTracking = tracking; }
    int IsMouseOutside() const { return m_bMouseOutside; }
    void SetAccelerator(UINT key, UINT flags) { m_nAccelKey = key; m_nAccelFlags = flags; }
    int IsKeyDown() const { return m_bKeyDown; }
    int IsFocused() const { return m_bFocused; }
    int GetUpdate() const { return m_bUpdate; }
    int IsAnimate() const { return m_bAnimate; }
    int IsRunTimer() const { return m_bRunTimer; }
    void SetRunTimer(int run) { m_bRunTimer = run; }
    int UseImageECM() const { return m_bImageECM; }
    MControl* GetActiveChild() const { return m_pActiveChild; }
    std::vector<MControl*>& GetControls() { return m_controls; }
    HCURSOR GetCursor() const { return m_hCursor; }

    void SetRect(CRect rect);
    void SetRect(int x, int y, int cx, int cy);
    void SetVisible(int visible);
    void SetVisible(int visible, int notify);
    void SetEnabled(int enabled);
    int IsParentVisible();
    int SetCursorEx(const wchar_t* name);

    void SetTooltip(const wchar_t* text);
    void SetTooltip(CString text, CRect rect);
    CString GetTooltip() const { return m_tooltip; }
    void ClearTooltip();
    void SetTooltipCtrlID(int id);
    int GetTooltipCtrlID();

    void Draw(HDC& dc, CRect paint);
    int OnMouseMove(UINT flags, CPoint pt);
    int OnLButtonDown(UINT flags, CPoint pt);
    int OnLButtonUp(UINT flags, CPoint pt);
    int OnLButtonDblClk(UINT flags, CPoint pt);
    int OnRButtonDown(UINT flags, CPoint pt);
    int OnRButtonUp(UINT flags, CPoint pt);
    int OnRButtonDblClk(UINT flags, CPoint pt);
    int OnKeyDown(UINT key, UINT repeat, UINT flags);
    int OnKeyUp(UINT key, UINT repeat, UINT flags);
    int OnTimer();

    int OnFocus(int focus);
    BOOL IsFocusControl();
    MControl* GetFocusControl(MControl* control);
    MControl* GetNextFocusableControl(MControl* control);
    MControl* GetPrevFocusableControl(MControl* control);

    MControl* GetControl(UINT id);
    int RemoveControl(MControl* control);
    void RemoveAllControl();

    void UpdateControl(int rebuild, int force);
    void UpdateControl(CRect rect, int force, int rebuild);
    void UpdateAControl(int flag, int force);
    LRESULT SendMessageW(UINT msg, WPARAM wparam, LPARAM lparam);
    void AddMTimer();

    void UpdateMemDC(HDC& dc, int cx, int cy);
    void UpdateAnimateDC(HDC& dc, int cx, int cy);
    HDC GetMemDC() const { return m_hMemDC; }
    HDC GetAnimateDC() const { return m_hAniDC; }

protected:
    int PositionItem2Value(const FS_POSITION_ITEM& item, int start, int end);

    // Which child gets the point: ids 1 and 2 keep the untranslated point.
    static CPoint ChildPoint(MControl* child, const CPoint& saved, const CPoint& translated);
    // The one path of every mouse button message: phase 0 press, 1 release,
    // 2 double click; handed to the active child or handled here.
    int RouteButton(const MouseButton& button, int phase, UINT flags, CPoint pt);
    // Cached drawing: when the cache is stale, sizes it for `copies` pictures of
    // the control side by side, copies the window background under the control
    // into each when asked and returns true; false when it is up to date or the
    // control is empty.
    bool RebuildCache(HDC& dc, int copies, bool copyBackground);
    // Copies picture `index` of the cache to the control's place.
    void ShowCache(HDC& dc, int index);
    // Moves the manager's keyboard focus to this control.
    void TakeFocus();
    void ReportKey(UINT key, UINT flags);

    MObject* m_pParent;
    PaintManager* m_pManager;
    UINT m_nID;
    CRect m_rect;
    int m_bVisible;
    int m_bEnabled;
    int m_bDragDrop;
    int m_bResponse;
    int m_bTabStop;
    int m_bDblClk;
    int m_bPressCapture;
    int m_bKeyDown;
    int m_bFocused;
    UINT m_nAccelKey;
    UINT m_nAccelFlags;
    int m_bUpdate;
    int m_bAnimate;
    int m_bRunTimer;
    int m_bRunning;
    int m_bImageECM;
    std::vector<MControl*> m_areas;
    std::vector<MControl*> m_controls;
    CRITICAL_SECTION m_csAreas;
    CRITICAL_SECTION m_csControls;
    MControl* m_pActiveChild;
    int m_nMemCx;
    int m_nMemCy;
    HBITMAP m_hMemBitmap;
    HDC m_hMemDC;
    HBITMAP m_hOldMemBitmap;
    int m_nAniCx;
    int m_nAniCy;
    HBITMAP m_hAniBitmap;
    HDC m_hAniDC;
    HBITMAP m_hOldAniBitmap;
    CString m_tooltip;
    HCURSOR m_hCursor;
    int m_bHoverTracking;
    int m_bDblClkNotify;
    int m_bKeyNotify;
    int m_bMouseOutside;

private:
    MControl(const MControl&) = delete;
    MControl& operator=(const MControl&) = delete;
};
