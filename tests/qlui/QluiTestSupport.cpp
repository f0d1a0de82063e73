#include "QluiTestSupport.h"

#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "ControlNotify.h"
#include "MRender.h"

HWND TestWindow::CreatePopup(int x, int y, int cx, int cy, HWND owner, DWORD exStyle)
{
    pm.SetPaintPause(0);
    return Create(owner, L"QLUI test", WS_POPUP | WS_VISIBLE, exStyle, CRect(x, y, x + cx, y + cy));
}

BOOL TestWindow::OnInitDialog()
{
    ++initCalls;
    handleSeenAtInit = m_hWnd;
    initAfterCreate = !ownSeen.empty() && std::find(ownSeen.begin(), ownSeen.end(), WM_CREATE) != ownSeen.end();
    if (m_hWnd != nullptr)
        pm.Init(m_hWnd, this);
    return TRUE;
}

LRESULT TestWindow::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    ownSeen.push_back(msg);
    LRESULT hooked = 0;
    if (hook && hook(msg, wParam, lParam, hooked))
        return hooked;
    if (msg == WM_ERASEBKGND)
        return 1;
    if (msg == WM_APP) {
        if (onApp)
            onApp();
        return 0;
    }
    LRESULT handled = pm.OnWindowMessage(msg, wParam, lParam);
    if (handled != 0)
        return handled;
    defaultSeen.push_back(msg);
    if (msg == WM_NCLBUTTONDOWN) {
        // Recorded instead of entering the system's window-move loop.
        ++ncLButtonDowns;
        return 0;
    }
    return MWindow::OnWindowMessage(msg, wParam, lParam);
}

void TestWindow::OnDestroyMessage(HWND hwnd)
{
    ++destroyCalls;
    hwndAtDestroy = m_hWnd;
    pm.OnDestroyMessage(hwnd);
}

BOOL TestWindow::PreTranslateMessage(MSG* msg) { return pm.PreTranslateMessage(msg); }

LRESULT TestParent::OnBaseMessage(UINT id, UINT code, UINT wParam, LPARAM lParam)
{
    notes.push_back({id, code, wParam, lParam});
    return 0;
}

LRESULT TestParent::OnControlUpdate(CRect rect, BOOL flag, MControl* control)
{
    updates.push_back(rect);
    return pm ? pm->OnControlUpdate(rect, flag, control) : 0;
}

void TestControl::DrawControl(HDC& dc, CRect)
{
    ++drawn;
    if (drawLog != nullptr)
        drawLog->push_back(name);
    if (argb != 0)
        MRender::DrawColor(dc, m_rect, argb);
    else
        MRender::FillSolidRect(dc, &m_rect, colour);
}

LRESULT TestControl::OnWindowMessage(UINT msg, WPARAM, LPARAM) { return msg == claimMessage && msg != 0 ? 1 : 0; }

int TestControl::SetControlFocus(int focus)
{
    focusCalls.push_back(focus);
    m_bFocused = focus;
    return MControl::SetControlFocus(focus);
}

int TestControl::OnControlMouseMove(UINT, CPoint pt)
{
    ++moves;
    points.push_back(pt);
    return 0;
}

int TestControl::OnControlLButtonDown(UINT, CPoint pt)
{
    ++downs;
    points.push_back(pt);
    if (!m_rect.PtInRect(pt))
        return 0;
    pressed = true;
    SendMessageW(kNotifyPress, 0, 0);
    return 1;
}

int TestControl::OnControlLButtonUp(UINT, CPoint pt)
{
    ++ups;
    bool click = pressed && m_rect.PtInRect(pt);
    pressed = false;
    if (click)
        SendMessageW(kNotifyClick, 0, 0);
    return click ? 1 : 0;
}

int TestControl::OnControlLButtonDblClk(UINT, CPoint)
{
    ++dblClks;
    return 1;
}

int TestControl::OnControlRButtonDown(UINT, CPoint)
{
    ++rdowns;
    return 1;
}

int TestControl::OnControlRButtonUp(UINT, CPoint)
{
    ++rups;
    return 1;
}

int TestControl::OnControlScroll(int delta, UINT flags, CPoint)
{
    scrolls.emplace_back(delta, flags);
    return scrollResult;
}

int TestControl::OnControlKeyDown(UINT key, UINT repeat, UINT flags)
{
    keys.emplace_back(key, flags);
    return MControl::OnControlKeyDown(key, repeat, flags);
}

int TestControl::OnControlTimer()
{
    timerThread = ::GetCurrentThreadId();
    ++timers;
    return 1;
}

void WindowTest::SetUp()
{
    parent.pm = &window.pm;
    ASSERT_NE(nullptr, window.CreatePopup(60, 60, 300, 200));
    hwnd = window.GetSafeHwnd();
    PumpMessages(30);
}

void WindowTest::TearDown()
{
    ::ReleaseCapture();
    window.DestroyWindow();
    BYTE keys[256] = {};
    ::SetKeyboardState(keys);
}

TestControl* WindowTest::Add(UINT id, CRect rect, UINT list)
{
    auto* control = new TestControl(&parent, id, rect);
    window.pm.AddControl(list, control);
    return control;
}
