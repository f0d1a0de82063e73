#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <map>
#include <utility>
#include <vector>

#include "CIDropTarget.h"
#include "CRect.h"
#include "CString.h"
#include "ImgResInfo.h"
#include "QLUIExport.h"
#include "RKTimer.h"

class MAirBladder;
class PaintManager;
class MControl;
class MObject;
class MShadow;
class MWindow;

// How the background image covers the client area: stretched, or drawn as a
// nine-slice frame with the back mode parameter as its corner; other values
// draw no image.
enum enumBackMode { BACKMODE_STRETCH = 0, BACKMODE_FRAME = 1 };

// Severity of a message strip text.
enum MsgLevel { MSGLEVEL_INFO = 0, MSGLEVEL_WARNING = 1, MSGLEVEL_ERROR = 2 };

typedef int AIRBLADDER_TYPE;
typedef int AIRBLADDER_MODE;

// The balloon window is built with the dialog classes; they register how the
// manager creates, feeds and destroys it.
struct AirBladderOps {
    MAirBladder* (*create)(PaintManager* manager, HWND owner);
    void (*destroy)(MAirBladder* balloon);
    BOOL (*setMessage)(MAirBladder* balloon, const wchar_t* text, POINT point, AIRBLADDER_TYPE type,
                       AIRBLADDER_MODE mode);
    HWND (*window)(MAirBladder* balloon);
};

// One control timer: a Win32 timer of the window run on behalf of a control.
struct TIMERINFO {
    HWND hWnd;
    UINT key;
    UINT id;
    BOOL killed;
    MControl* control;
};

// Receives every frame the manager renders, before it is presented (tests and
// benchmarks look at the pixels through it).
typedef void (*PaintObserver)(void* user, const BYTE* bits, int cx, int cy, const RECT& update);

// The per-window control manager: owns the window's controls in two z-ordered
// lists, routes input to them, runs their timers and paints the client area
// double-buffered, optionally as a per-pixel-alpha layered window.
class QLUI_API PaintManager : public RKTimer, public CIDropTarget {
public:
    PaintManager();
    ~PaintManager() override;

    // Life
    void Init(HWND hwnd, MWindow* dialog);
    void OnDestroyMessage(HWND hwnd);
    void DestroyData();
    BOOL IsInit() const { return m_bInit; }
    HWND GetPaintWnd() const { return m_hWndPaint; }
    HDC GetPaintDC() const { return m_hDcPaint; }
    MWindow* GetMDialog() const { return m_pDialog; }

    // Messages
    LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    BOOL PreTranslateMessage(MSG* msg);

    // Controls
    MControl* CreateControl(UINT list, MObject* parent, const wchar_t* className, UINT id, CRect rect,
                            const wchar_t* text, int visible, int enabled);
    MControl* CreateControl(MObject* parent, const wchar_t* className, UINT id, CRect rect,
                            const wchar_t* text, int visible, int enabled);
    MControl* CreateArea(MObject* parent, const wchar_t* className, UINT id, CRect rect,
                         const wchar_t* text, int visible, int enabled);
    // Attaches a constructed control (manager, InitControl) and appends it to
    // list 0 (areas) or 1 (controls); other lists keep it in none.
    MControl* AddControl(UINT list, MControl* control);
    MControl* GetControl(UINT id);
    std::vector<MControl*>& GetControls() { return m_controls; }
    std::vector<MControl*>& GetAreas() { return m_areas; }
    void RemoveControl(MControl* control);
    void ClearAreaControls();
    void ClearControls();
    void ClearAllControls();
    // Drops whatever the manager holds for a control that is being destroyed
    // (timer records, animation entries, hover, focus, caret); every control's
    // destructor calls it.
    void ForgetControl(MControl* control);
    MControl* GetHoverControl() const { return m_pHover; }
    MControl* GetFocusControl() const { return m_pFocus; }
    void SetFocusControl(MControl* control);
    // Stores the focus control without telling either control.
    void StoreFocusControl(MControl* control) { m_pFocus = control; }
    MControl* GetNextFocusableControl();
    MControl* GetPrevFocusableControl();

    // Painting
    void Invalidate();
    void InvalidateRect(CRect rect, BOOL erase);
    LRESULT OnControlUpdate(CRect rect, BOOL mark, MControl* control);
    HBITMAP GetDropBitmap(MControl* control, const CRect& rect, COLORREF colour);
    BOOL LoadBKImage(CString file);
    BOOL LoadBKImage(UINT id, CString type);
    Gdiplus::Image* GetBKImage() const { return m_pBkImage; }
    void SetBackMode(enumBackMode mode, int param);
    enumBackMode GetBackMode() const { return m_backMode; }
    void SetBackColor(COLORREF fill, COLORREF border);
    COLORREF GetBackColor() const { return m_crFill; }
    COLORREF GetBorderColor() const { return m_crBorder; }
    void SetLayeredWindow(BOOL layered) { m_bLayered = layered; }
    BOOL IsLayered() const { return m_bLayered; }
    // Renders the client area into a 32-bit DIB selected into memDC: steps
    // shared by every paint (transparent clear, background, controls, caret,
    // alpha fix-up). update is the rectangle to render.
    void RenderFrame(HDC memDC, BYTE* bits, int cx, int cy, const CRect& update);
    void SetPaintObserver(PaintObserver observer, void* user);
    // Pause after each paint, in ms (15 caps painting near 60 frames a second).
    void SetPaintPause(UINT ms) { m_nPaintPause = ms; }

    // Window geometry and settings
    void SetCaptionRect(CRect rect) { m_rcCaption = rect; }
    CRect GetCaptionRect() const { return m_rcCaption; }
    void SetWindowMaxSize(int cx, int cy) { m_nMaxCx = cx; m_nMaxCy = cy; }
    void SetWindowMixSize(int cx, int cy) { m_nMinCx = cx; m_nMinCy = cy; }
    CSize GetWindowMinSize() const { return CSize(m_nMinCx, m_nMinCy); }
    void EnableWndDrag(BOOL enable) { m_bWndDrag = enable; }
    BOOL IsCaptured() const { return m_bCaptured; }
    BOOL IsWindowActive() const { return m_bActive; }
    COLORREF GetDefaultEnabledColor() const { return m_crDisabled; }
    void SetDefaultEnabledColor(COLORREF colour) { m_crDisabled = colour; }
    void SetScrollResID(UINT vertical, UINT horizontal) { m_nScrollVID = vertical; m_nScrollHID = horizontal; }
    UINT GetScrollVID() const { return m_nScrollVID; }
    UINT GetScrollHID() const { return m_nScrollHID; }
    void GetClientRect(CRect& rect);
    void GetWindowRect(CRect& rect);
    void GetClientSize(int& cx, int& cy);

    // Capture and messages to the window
    void SetCapture();
    void ReleaseCapture();
    LRESULT SendMessageW(UINT msg, WPARAM wParam, LPARAM lParam);

    // Timers
    BOOL SetTimer(MControl* control, UINT key, UINT elapse);
    BOOL KillTimer(MControl* control, UINT key);
    void KillTimer(MControl* control);
    void ClearTimers();
    UINT SetMTimer(UINT elapse);
    void KillMTimer(UINT id);
    void KillMTimer();
    BOOL AddMTimer(MControl* control);
    BOOL DeleteFSTimer(MControl* control);
    void OnMTimer(UINT id) override;

    // Caret (the caret owner is the text control that has the keyboard focus)
    BOOL CreateCaret(HBITMAP bitmap, int width, int height);
    BOOL SetCaretPos(MControl* owner, int x, int y);
    BOOL ShowCaret(BOOL show);
    void DrawCaret(HDC dc, const CRect& rect);
    MControl* GetCurrentCaretObject() const { return m_pCaretOwner; }
    CRect GetCaretRect() const { return m_rcCaret; }
    void SetCaretColor(DWORD argb) { m_caretColor = argb; }

    // Tooltip and balloon
    void SetTooltip(const wchar_t* text, CRect rect);
    void ClearTooltip();
    void SetTooltipCtrlID(int id) { m_nTooltipCtrlId = id; }
    int GetTooltipCtrlID() const { return m_nTooltipCtrlId; }
    HWND GetTooltipWindow() const { return m_hTooltip; }
    BOOL SetAirBladderMsg(const wchar_t* text, POINT point, AIRBLADDER_TYPE type, AIRBLADDER_MODE mode);
    BOOL ShowAirBladder(BOOL show, int ownerId);
    MAirBladder* GetAirBladder() const { return m_pAirBladder; }
    HWND GetAirBladderWnd() const;
    static void SetAirBladderOps(const AirBladderOps* ops);

    // Window shadow: set by the dialog, destroyed with the manager through destroy.
    MShadow* GetShadow() const { return m_pShadow; }
    void SetShadow(MShadow* shadow, void (*destroy)(MShadow*)) { m_pShadow = shadow; m_pShadowDestroy = destroy; }
    BOOL IsShadowShown() const { return m_bShadowShown; }
    void SetShadowShown(BOOL shown) { m_bShadowShown = shown; }

    // Message strip
    void SetMessage(CString text, CRect rect, MsgLevel level);
    void SetProgress(int value, CString text, CRect rect);
    int GetMessageAlpha() const { return m_nMsgAlpha; }
    int GetMessageProgress() const { return m_nMsgProgress; }
    CRect GetMessageRect() const { return m_rcMsg; }

    // Caches and fonts
    ImgResInfo* AddImgResInfo(const wchar_t* file, int frames);
    ImgResInfo* AddImgResInfo(UINT id, CString type, int frames, int fromApplication);
    void ClearImgResInfo();
    BOOL AddGDITempFont(UINT resourceId);
    Gdiplus::FontFamily* AddTempFont(const wchar_t* name, const wchar_t* file);
    Gdiplus::FontFamily* AddTempFont(const wchar_t* name, UINT resourceId);
    Gdiplus::FontFamily* FindTempFont(const wchar_t* name);
    void ClearTempFont();
    size_t GetGDIFontCount();

    // Drag and drop
    BOOL InitDragDrop();
    bool OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD* effect) override;

    // Identifiers of the manager's own timers.
    static constexpr UINT kCaretTimerId = 6553;
    static constexpr UINT kMsgShowTimerId = 66;
    static constexpr UINT kMsgFadeTimerId = 88;
    static constexpr UINT kMsgProgressTimerId = 99;

protected:
    LRESULT OnPaint();
    void DrawBackImage(Gdiplus::Graphics& graphics, const CRect& client);
    void DrawControl(HDC dc, const CRect& rect);
    void DrawMessageStrip(HDC dc, const CRect& rect);
    void OnMouseMoveMsg(UINT keys, CPoint pt);
    void OnMouseLeaveMsg();
    void OnLButtonDownMsg(UINT keys, CPoint pt, BOOL dblClk);
    void OnLButtonUpMsg(UINT keys, CPoint pt);
    void OnRButtonDownMsg(UINT keys, CPoint pt);
    void OnRButtonUpMsg(UINT keys, CPoint pt, BOOL dblClk);
    LRESULT OnMouseWheelMsg(UINT keys, short delta, LPARAM lParam);
    void OnKeyDownMsg(UINT vk);
    void OnActivateMsg(BOOL active);
    void OnTimerMsg(UINT id);
    void OnAnimationTick();
    void OnMessageTimer(UINT id);
    void InvalidateStrip();
    void StartDrag();
    void DestroyAirBladder();
    static UINT GetModifierCode();

    // Binding
    BOOL m_bInit;
    HWND m_hWndPaint;
    HDC m_hDcPaint;
    MWindow* m_pDialog;

    // Background and window geometry
    COLORREF m_crFill;
    COLORREF m_crBorder;
    CRect m_rcCaption;
    int m_nMaxCx;
    int m_nMaxCy;
    int m_nMinCx;
    int m_nMinCy;
    Gdiplus::Image* m_pBkImage;
    int m_nBkWidth;
    int m_nBkHeight;
    enumBackMode m_backMode;
    int m_nBackParam;
    BOOL m_bLayered;

    // Input state
    BOOL m_bActive;
    BOOL m_bMouseTracking;
    BOOL m_bLButtonDown;
    BOOL m_bCaptured;
    BOOL m_bWndDrag;
    MControl* m_pHover;
    MControl* m_pFocus;

    // Drag and drop
    int m_nLastMouseX;
    int m_nLastMouseY;
    BOOL m_bDragPending;
    HBITMAP m_hDragBitmap;

    // Shadow
    MShadow* m_pShadow;
    BOOL m_bShadowShown;

    // Message strip
    CString m_strMsg;
    MsgLevel m_msgLevel;
    int m_nMsgAlpha;
    int m_nMsgProgress;
    int m_nMsgTarget;
    CRect m_rcMsg;

    // Timers
    UINT m_nMTimerId;
    UINT m_nLastTimerId;
    std::vector<TIMERINFO*> m_timers;
    CRITICAL_SECTION m_csTimers;

    // Tooltip and balloon
    int m_nTooltipCtrlId;
    HWND m_hTooltip;
    MAirBladder* m_pAirBladder;
    int m_nAirBladderOwner;

    // Control lists
    std::vector<MControl*> m_areas;
    CRITICAL_SECTION m_csAreas;
    std::vector<MControl*> m_controls;
    CRITICAL_SECTION m_csControls;
    std::vector<MControl*> m_animControls;
    CRITICAL_SECTION m_csAnim;

    // Caret
    CRect m_rcCaret;
    BOOL m_bCaretPhase;
    BOOL m_bCaretShown;
    MControl* m_pCaretOwner;

    // Caches
    std::map<CString, ImgResInfo*> m_imgByFile;
    CRITICAL_SECTION m_csImgFile;
    std::map<std::pair<UINT, CString>, ImgResInfo*> m_imgByRes;
    CRITICAL_SECTION m_csImgRes;
    std::map<CString, Gdiplus::FontFamily*> m_fonts;
    std::vector<HANDLE> m_fontHandles;
    CRITICAL_SECTION m_csFonts;

    // Other settings
    COLORREF m_crDisabled;
    UINT m_nScrollVID;
    UINT m_nScrollHID;
    DWORD m_caretColor;
    UINT m_nPaintPause;
    PaintObserver m_pPaintObserver;
    void* m_pPaintObserverUser;
    void (*m_pShadowDestroy)(MShadow*);
    std::vector<Gdiplus::PrivateFontCollection*> m_fontCollections;

private:
    PaintManager(const PaintManager&) = delete;
    PaintManager& operator=(const PaintManager&) = delete;
};
