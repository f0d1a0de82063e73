#pragma once
#include <windows.h>

#include "CRect.h"
#include "CString.h"
#include "QLUIExport.h"

// One Win32 window bound to this object: every window message reaches the
// virtual OnWindowMessage. The object must outlive its window.
class QLUI_API MWindow {
public:
    MWindow();
    virtual ~MWindow();                                               // slot 0
    virtual const wchar_t* GetWindowClassName();                      // slot 1
    virtual const wchar_t* GetSuperClassName();                       // slot 2
    virtual BOOL ShowWindow(int nCmdShow);                            // slot 3
    virtual LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam); // slot 4
    virtual BOOL PreTranslateMessage(MSG* msg);                       // slot 5
    virtual BOOL OnInitDialog();                                      // slot 6
    virtual void OnDestroyMessage(HWND hwnd);                         // slot 7

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetParentHwnd() const { return m_hParent; }

    BOOL RegisterWindowClass();
    BOOL RegisterSuperClass();

    HWND Create(HWND parent);
    HWND Create(HWND parent, CRect rect);
    HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, CRect rect);
    HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, CRect rect, HMENU menu);

    UINT ShowModal(int nCmdShow);

    LRESULT SendMessageW(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessageW(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    DWORD GetStyle();
    DWORD GetExStyle();
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyExStyle(DWORD remove, DWORD add, UINT flags = 0);

    BOOL GetClientRect(LPRECT rect);
    BOOL GetWindowRect(LPRECT rect);
    BOOL SetWindowTextW(const wchar_t* text);
    int GetWindowTextW(CString& text);
    int GetWindowTextLengthW();
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled();
    BOOL IsWindowVisible();
    BOOL IsIconic();
    BOOL InvalidateRect(CRect rect, BOOL erase = TRUE);
    HWND SetCapture();
    BOOL ReleaseCapture();
    HWND SetFocus();
    UINT_PTR SetTimer(UINT id, UINT elapse, TIMERPROC proc = nullptr);
    BOOL KillTimer(UINT id);
    BOOL ClientToScreen(LPPOINT point);
    BOOL ClientToScreen(LPRECT rect);
    BOOL ScreenToClient(LPPOINT point);
    BOOL ScreenToClient(LPRECT rect);
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    BOOL MoveWindow(const RECT* rect, BOOL repaint = TRUE);
    BOOL DestroyWindow();

    void CenterWindow(MWindow* alternateOwner = nullptr);
    void BringToTop();
    void SetIcon(UINT resourceId);

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    // True while the stored handle names a live window.
    BOOL IsAlive() const;

    HWND m_hParent;
    HWND m_hWnd;
    WNDPROC m_OldWndProc;
};
