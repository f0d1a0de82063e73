#include "QluiTestSupport.h"

#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "Manager.h"
#include "MRender.h"

namespace {

// GDI+, COM and OLE for every test of this program, as the application does.
class QluiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Manager::SetInstance(::GetModuleHandleW(nullptr));
        Manager::InitGdiplus();
    }
    void TearDown() override { Manager::UnInitGdiplus(); }
};

const auto* g_environment = ::testing::AddGlobalTestEnvironment(new QluiEnvironment);

} // namespace

void PumpMessages(DWORD ms)
{
    DWORD start = ::GetTickCount();
    MSG msg;
    do {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(1);
    } while (::GetTickCount() - start < ms);
}

void MoveCursorTo(HWND hwnd, int x, int y)
{
    POINT pt = {x, y};
    ::ClientToScreen(hwnd, &pt);
    ::SetCursorPos(pt.x, pt.y);
}

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
    SendMessageW(1, 0, 0);
    return 1;
}

int TestControl::OnControlLButtonUp(UINT, CPoint pt)
{
    ++ups;
    bool click = pressed && m_rect.PtInRect(pt);
    pressed = false;
    if (click)
        SendMessageW(2, 0, 0);
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
    ++timers;
    return 1;
}
