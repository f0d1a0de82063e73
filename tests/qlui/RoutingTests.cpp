// The control manager's input routing, with real windows and real messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ControlNotify.h"
#include "QluiTestSupport.h"

namespace {

class Routing : public WindowTest {
protected:
    LRESULT Mouse(UINT msg, int x, int y, WPARAM keys = 0)
    {
        MoveCursorTo(hwnd, x, y);
        return ::SendMessageW(hwnd, msg, keys, MAKELPARAM(x, y));
    }
    LRESULT Wheel(int x, int y, short delta)
    {
        POINT pt = {x, y};
        ::ClientToScreen(hwnd, &pt);
        return ::SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(pt.x, pt.y));
    }
    void SetKeys(std::initializer_list<int> down)
    {
        BYTE keys[256] = {};
        for (int vk : down)
            keys[vk] = 0x80;
        ::SetKeyboardState(keys);
    }
};

} // namespace

TEST_F(Routing, HoverIsTheTopmostResponsiveControl)
{
    TestControl* lower = Add(1, CRect(10, 10, 100, 100));
    TestControl* upper = Add(2, CRect(50, 50, 150, 150));
    Mouse(WM_MOUSEMOVE, 60, 60);
    EXPECT_EQ(upper, window.pm.GetHoverControl());
    EXPECT_GE(lower->moves, 1);
    Mouse(WM_LBUTTONDOWN, 60, 60, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 60, 60);
    EXPECT_EQ(0, lower->downs);
    EXPECT_EQ(1, upper->downs);
    ASSERT_EQ(2u, parent.notes.size());
    EXPECT_EQ(2u, parent.notes[0].id);
    EXPECT_EQ(kNotifyPress, parent.notes[0].code);
    EXPECT_EQ(kNotifyClick, parent.notes[1].code);
    Mouse(WM_MOUSEMOVE, 20, 20);
    EXPECT_EQ(lower, window.pm.GetHoverControl());
    Mouse(WM_MOUSEMOVE, 250, 180);
    EXPECT_EQ(nullptr, window.pm.GetHoverControl());
}

TEST_F(Routing, PressMoveAwayReleaseGivesNoClick)
{
    TestControl* button = Add(1, CRect(10, 10, 60, 60));
    TestControl* other = Add(2, CRect(100, 10, 150, 60));
    Mouse(WM_MOUSEMOVE, 20, 20);
    Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    EXPECT_EQ(hwnd, ::GetCapture());
    EXPECT_TRUE(window.pm.IsCaptured());
    // The hover control does not change while the button is held.
    int otherMoves = other->moves;
    Mouse(WM_MOUSEMOVE, 120, 20, MK_LBUTTON);
    EXPECT_EQ(button, window.pm.GetHoverControl());
    EXPECT_EQ(otherMoves, other->moves);
    Mouse(WM_LBUTTONUP, 120, 20);
    EXPECT_EQ(nullptr, ::GetCapture());
    EXPECT_FALSE(window.pm.IsCaptured());
    EXPECT_EQ(1, button->ups);
    ASSERT_EQ(1u, parent.notes.size());
    EXPECT_EQ(kNotifyPress, parent.notes[0].code);
    EXPECT_EQ(nullptr, window.pm.GetHoverControl());
    EXPECT_EQ(0, window.ncLButtonDowns);
}

TEST_F(Routing, PressOnEmptyBackgroundDragsTheWindowUnlessDisabled)
{
    Add(1, CRect(10, 10, 60, 60));
    Mouse(WM_MOUSEMOVE, 200, 150);
    Mouse(WM_LBUTTONDOWN, 200, 150, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 200, 150);
    EXPECT_EQ(1, window.ncLButtonDowns);
    window.pm.EnableWndDrag(FALSE);
    Mouse(WM_LBUTTONDOWN, 200, 150, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 200, 150);
    EXPECT_EQ(1, window.ncLButtonDowns);
}

// A disabled control (a label is created so) never becomes the hover control:
// a press on it neither captures nor takes the focus, and drags the window.
TEST_F(Routing, DisabledControlsLeaveThePressToTheWindow)
{
    const struct {
        const char* what;
        std::function<MControl*()> make;
    } cases[] = {
        {"disabled control",
         [&] { return window.pm.AddControl(1, new TestControl(&parent, 1, CRect(10, 10, 90, 40), 1, 0)); }},
        {"text label",
         [&] { return window.pm.CreateControl(&parent, L"MText", 2, CRect(10, 10, 90, 40), L"Label", 1, 1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MControl* control = c.make();
        ASSERT_NE(nullptr, control);
        int drags = window.ncLButtonDowns;
        Mouse(WM_MOUSEMOVE, 30, 20);
        EXPECT_EQ(nullptr, window.pm.GetHoverControl());
        Mouse(WM_LBUTTONDOWN, 30, 20, MK_LBUTTON);
        EXPECT_FALSE(window.pm.IsCaptured());
        EXPECT_EQ(nullptr, window.pm.GetFocusControl());
        EXPECT_EQ(drags + 1, window.ncLButtonDowns);
        Mouse(WM_LBUTTONUP, 30, 20);
        window.pm.RemoveControl(control);
    }
}

// A press on a control that may be dragged, released without a drag, leaves
// nothing pending: a later press and move elsewhere starts no drag (which would
// end the capture).
TEST_F(Routing, AReleaseWithoutADragEndsThePendingOne)
{
    class Draggable : public TestControl {
    public:
        using TestControl::TestControl;
        HBITMAP GetControlDropBitmap() override { return ::CreateBitmap(4, 4, 1, 32, nullptr); }
    };
    auto* draggable = new Draggable(&parent, 1, CRect(10, 10, 60, 60));
    draggable->SetDragDrop(1);
    window.pm.AddControl(1, draggable);
    Add(2, CRect(100, 10, 150, 60));
    Mouse(WM_MOUSEMOVE, 20, 20);
    Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 20, 20);
    Mouse(WM_MOUSEMOVE, 120, 20);
    Mouse(WM_LBUTTONDOWN, 120, 20, MK_LBUTTON);
    ASSERT_TRUE(window.pm.IsCaptured());
    Mouse(WM_MOUSEMOVE, 121, 20, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, 122, 20, MK_LBUTTON);
    EXPECT_TRUE(window.pm.IsCaptured());
    EXPECT_EQ(hwnd, ::GetCapture());
    Mouse(WM_LBUTTONUP, 122, 20);
}

TEST_F(Routing, AControlClaimingTheMessageStopsRoutingAndDrag)
{
    TestControl* claimer = Add(1, CRect(0, 0, 5, 5));
    TestControl* button = Add(2, CRect(10, 10, 60, 60));
    claimer->claimMessage = WM_LBUTTONDOWN;
    Mouse(WM_MOUSEMOVE, 20, 20);
    window.defaultSeen.clear();
    Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    EXPECT_EQ(0, button->downs);
    EXPECT_EQ(0, window.ncLButtonDowns);
    EXPECT_TRUE(parent.notes.empty());
    // The default procedure still receives the press.
    EXPECT_NE(window.defaultSeen.end(),
              std::find(window.defaultSeen.begin(), window.defaultSeen.end(), WM_LBUTTONDOWN));
    Mouse(WM_LBUTTONDOWN, 200, 150, MK_LBUTTON);
    EXPECT_EQ(0, window.ncLButtonDowns);
}

TEST_F(Routing, WheelNotches)
{
    TestControl* list = Add(1, CRect(10, 10, 100, 100));
    Mouse(WM_MOUSEMOVE, 50, 50);
    ASSERT_EQ(list, window.pm.GetHoverControl());
    EXPECT_EQ(0, Wheel(50, 50, 60));
    EXPECT_TRUE(list->scrolls.empty());
    EXPECT_EQ(1, Wheel(50, 50, -240));
    ASSERT_EQ(2u, list->scrolls.size());
    EXPECT_EQ(1, list->scrolls[0].first);
    EXPECT_EQ(1u, list->scrolls[0].second);
    EXPECT_EQ(1, Wheel(50, 50, 120));
    ASSERT_EQ(3u, list->scrolls.size());
    EXPECT_EQ(0u, list->scrolls[2].second);
    list->scrollResult = 0;
    EXPECT_EQ(0, Wheel(50, 50, 240));
}

TEST_F(Routing, KeysCarryModifierCodes)
{
    TestControl* control = Add(1, CRect(10, 10, 100, 100));
    SetKeys({VK_CONTROL, VK_SHIFT});
    ::SendMessageW(hwnd, WM_KEYDOWN, 'A', 0);
    SetKeys({VK_SHIFT});
    ::SendMessageW(hwnd, WM_KEYDOWN, 'B', 0);
    SetKeys({VK_MENU});
    ::SendMessageW(hwnd, WM_SYSKEYDOWN, 'C', 0);
    SetKeys({});
    EXPECT_EQ(1, ::SendMessageW(hwnd, WM_KEYDOWN, 'D', 0));
    ASSERT_EQ(4u, control->keys.size());
    EXPECT_EQ(std::make_pair(static_cast<UINT>('A'), 0x11u), control->keys[0]);
    EXPECT_EQ(std::make_pair(static_cast<UINT>('B'), 0x10u), control->keys[1]);
    EXPECT_EQ(std::make_pair(static_cast<UINT>('C'), 0x12u), control->keys[2]);
    EXPECT_EQ(std::make_pair(static_cast<UINT>('D'), 0u), control->keys[3]);
}

TEST_F(Routing, AcceleratorStopsKeyRoutingAtTheHoverControl)
{
    TestControl* first = Add(1, CRect(10, 10, 50, 50));
    TestControl* hovered = Add(2, CRect(60, 10, 100, 50));
    hovered->SetAccelerator(VK_RETURN, 0);
    Mouse(WM_MOUSEMOVE, 70, 20);
    ::SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(first->keys.empty());
    EXPECT_EQ(1u, hovered->keys.size());
}

TEST_F(Routing, TabAndShiftTabMoveTheFocus)
{
    TestControl* a = Add(1, CRect(0, 0, 10, 10));
    TestControl* skipped = Add(2, CRect(0, 0, 10, 10));
    TestControl* b = Add(3, CRect(0, 0, 10, 10));
    TestControl* c = Add(4, CRect(0, 0, 10, 10));
    a->SetTabStop(1);
    b->SetTabStop(1);
    c->SetTabStop(1);
    MSG tab = {hwnd, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_TRUE(window.PreTranslateMessage(&tab));
    EXPECT_EQ(a, window.pm.GetFocusControl());
    EXPECT_TRUE(window.PreTranslateMessage(&tab));
    EXPECT_EQ(b, window.pm.GetFocusControl());
    EXPECT_TRUE(skipped->focusCalls.empty());
    EXPECT_EQ((std::vector<int>{1, 0}), a->focusCalls);
    SetKeys({VK_SHIFT});
    EXPECT_TRUE(window.PreTranslateMessage(&tab));
    EXPECT_EQ(a, window.pm.GetFocusControl());
    SetKeys({});
    window.pm.SetFocusControl(c);
    EXPECT_TRUE(window.PreTranslateMessage(&tab));
    EXPECT_EQ(a, window.pm.GetFocusControl());
    // Ctrl+Tab is not a focus move.
    SetKeys({VK_CONTROL});
    EXPECT_FALSE(window.PreTranslateMessage(&tab));
    SetKeys({});
    MSG other = {hwnd, WM_KEYDOWN, 'X', 0, 0, {0, 0}};
    EXPECT_FALSE(window.PreTranslateMessage(&other));
}

TEST_F(Routing, ShiftTabIsNotDispatched)
{
    TestControl* a = Add(1, CRect(0, 0, 10, 10));
    a->SetTabStop(1);
    a->SetAccelerator(VK_TAB, 0x10);
    SetKeys({VK_SHIFT});
    ::PostMessageW(hwnd, WM_KEYDOWN, VK_TAB, 0);
    MSG msg;
    while (::PeekMessageW(&msg, hwnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
        if (!window.PreTranslateMessage(&msg))
            ::DispatchMessageW(&msg);
    }
    EXPECT_EQ(a, window.pm.GetFocusControl());
    EXPECT_TRUE(a->keys.empty());
}

TEST_F(Routing, OnControlUpdateMarksOnlyTheControlsAbove)
{
    TestControl* area = Add(1, CRect(0, 0, 200, 200), 0);
    TestControl* below = Add(2, CRect(10, 10, 60, 60));
    TestControl* changed = Add(3, CRect(20, 20, 80, 80));
    TestControl* aboveOverlapping = Add(4, CRect(70, 70, 120, 120));
    TestControl* aboveApart = Add(5, CRect(150, 150, 190, 190));
    TestControl* aboveHidden = Add(6, CRect(30, 30, 40, 40));
    aboveHidden->SetVisible(0, 0);
    ::ValidateRect(hwnd, nullptr);
    for (TestControl* c : {area, below, changed, aboveOverlapping, aboveApart, aboveHidden})
        c->SetUpdate(1, 0);
    changed->UpdateControl(1, 0);
    EXPECT_EQ(1, area->GetUpdate());
    EXPECT_EQ(1, below->GetUpdate());
    EXPECT_EQ(0, changed->GetUpdate());
    EXPECT_EQ(0, aboveOverlapping->GetUpdate());
    EXPECT_EQ(1, aboveApart->GetUpdate());
    EXPECT_EQ(1, aboveHidden->GetUpdate());
    RECT dirty;
    ASSERT_TRUE(::GetUpdateRect(hwnd, &dirty, FALSE));
    EXPECT_EQ(CRect(20, 20, 120, 120), CRect(dirty));

    // Rebuild 0 keeps the changed control's cache; a change in the area list
    // reaches every intersecting control.
    ::ValidateRect(hwnd, nullptr);
    for (TestControl* c : {area, below, changed, aboveOverlapping, aboveApart})
        c->SetUpdate(1, 0);
    area->UpdateControl(0, 0);
    EXPECT_EQ(1, area->GetUpdate());
    EXPECT_EQ(0, below->GetUpdate());
    EXPECT_EQ(0, changed->GetUpdate());
    EXPECT_EQ(0, aboveOverlapping->GetUpdate());
    EXPECT_EQ(0, aboveApart->GetUpdate());
}

TEST_F(Routing, DeactivationEndsAPress)
{
    TestControl* button = Add(1, CRect(10, 10, 60, 60));
    Mouse(WM_MOUSEMOVE, 20, 20);
    Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
    ::SendMessageW(hwnd, WM_NCACTIVATE, FALSE, 0);
    EXPECT_EQ(1, button->ups);
    EXPECT_EQ(nullptr, window.pm.GetHoverControl());
    EXPECT_FALSE(window.pm.IsCaptured());
    EXPECT_FALSE(window.pm.IsWindowActive());
}

TEST_F(Routing, MouseLeaveClearsTheHover)
{
    TestControl* control = Add(1, CRect(10, 10, 60, 60));
    Mouse(WM_MOUSEMOVE, 20, 20);
    ASSERT_EQ(control, window.pm.GetHoverControl());
    int before = control->moves;
    ::SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(nullptr, window.pm.GetHoverControl());
    EXPECT_EQ(before + 1, control->moves);
    EXPECT_EQ(CPoint(-1, -1), control->points.back());
}

TEST_F(Routing, RightButtonCapturesWithoutDragging)
{
    TestControl* control = Add(1, CRect(10, 10, 60, 60));
    Mouse(WM_MOUSEMOVE, 20, 20);
    Mouse(WM_RBUTTONDOWN, 20, 20, MK_RBUTTON);
    EXPECT_EQ(1, control->rdowns);
    EXPECT_EQ(control, window.pm.GetFocusControl());
    EXPECT_EQ(hwnd, ::GetCapture());
    Mouse(WM_RBUTTONUP, 20, 20);
    EXPECT_EQ(1, control->rups);
    EXPECT_EQ(nullptr, ::GetCapture());
    Mouse(WM_RBUTTONDOWN, 200, 150, MK_RBUTTON);
    EXPECT_EQ(0, window.ncLButtonDowns);
}

TEST_F(Routing, CommandsAreReflectedToTheChildWindow)
{
    TestWindow child;
    child.Create(hwnd, L"child", WS_CHILD, 0, CRect(0, 0, 10, 10));
    ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), reinterpret_cast<LPARAM>(child.GetSafeHwnd()));
    EXPECT_NE(child.ownSeen.end(), std::find(child.ownSeen.begin(), child.ownSeen.end(), WM_COMMAND + 0x2000));
    EXPECT_EQ(0, window.pm.OnWindowMessage(WM_COMMAND, 1, 0));
}

TEST_F(Routing, MinMaxInfoUsesTheSetSizes)
{
    window.pm.SetWindowMixSize(120, 0);
    window.pm.SetWindowMaxSize(640, 480);
    MINMAXINFO info = {};
    info.ptMinTrackSize = {1, 2};
    EXPECT_EQ(1, window.pm.OnWindowMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)));
    EXPECT_EQ(120, info.ptMinTrackSize.x);
    EXPECT_EQ(2, info.ptMinTrackSize.y);
    EXPECT_EQ(640, info.ptMaxTrackSize.x);
    EXPECT_EQ(480, info.ptMaxSize.y);
}

TEST_F(Routing, ControlTimers)
{
    TestControl* a = Add(1, CRect(0, 0, 10, 10));
    TestControl* b = Add(2, CRect(0, 0, 10, 10));
    EXPECT_TRUE(window.pm.SetTimer(a, 5, 1000));
    EXPECT_FALSE(window.pm.SetTimer(a, 5, 1000));
    EXPECT_TRUE(window.pm.SetTimer(b, 5, 1000));
    // The first id of a manager is 17; the next one 18.
    ::SendMessageW(hwnd, WM_TIMER, 17, 0);
    EXPECT_EQ(1, a->timers.load());
    EXPECT_EQ(0, b->timers.load());
    ::SendMessageW(hwnd, WM_TIMER, 18, 0);
    EXPECT_EQ(1, b->timers.load());
    // Killed timers are not dispatched; re-arming reuses the id.
    EXPECT_TRUE(window.pm.KillTimer(a, 5));
    EXPECT_FALSE(window.pm.KillTimer(a, 5));
    ::SendMessageW(hwnd, WM_TIMER, 17, 0);
    EXPECT_EQ(1, a->timers.load());
    EXPECT_TRUE(window.pm.SetTimer(a, 5, 1000));
    ::SendMessageW(hwnd, WM_TIMER, 17, 0);
    EXPECT_EQ(2, a->timers.load());
    EXPECT_TRUE(window.pm.SetTimer(a, 6, 1000));
    ::SendMessageW(hwnd, WM_TIMER, 19, 0);
    EXPECT_EQ(3, a->timers.load());
    window.pm.KillTimer(a);
    ::SendMessageW(hwnd, WM_TIMER, 17, 0);
    ::SendMessageW(hwnd, WM_TIMER, 19, 0);
    EXPECT_EQ(3, a->timers.load());
}

TEST_F(Routing, ControlTimersFireThroughTheMessageLoop)
{
    TestControl* a = Add(1, CRect(0, 0, 10, 10));
    ASSERT_TRUE(window.pm.SetTimer(a, 1, 10));
    for (int i = 0; i < 100 && a->timers.load() < 2; ++i)
        PumpMessages(10);
    EXPECT_GE(a->timers.load(), 2);
    window.pm.ClearTimers();
}

TEST_F(Routing, ControlLookupAndRemoval)
{
    TestControl* area = Add(7, CRect(0, 0, 10, 10), 0);
    TestControl* control = Add(8, CRect(0, 0, 10, 10));
    auto* child = new TestControl(control, 9, CRect(0, 0, 5, 5));
    control->AddChild(child);
    EXPECT_EQ(area, window.pm.GetControl(7));
    EXPECT_EQ(control, window.pm.GetControl(8));
    EXPECT_EQ(child, window.pm.GetControl(9));
    EXPECT_EQ(nullptr, window.pm.GetControl(10));
    EXPECT_EQ(&window.pm, control->GetManager());
    window.pm.RemoveControl(control);
    EXPECT_EQ(nullptr, window.pm.GetControl(8));
    // A control of the area list is not the control list's to delete.
    window.pm.RemoveControl(area);
    EXPECT_EQ(area, window.pm.GetControl(7));
}

TEST_F(Routing, FactoryRejectsUnknownAndUnbuiltNames)
{
    EXPECT_EQ(nullptr, window.pm.CreateControl(&parent, L"", 1, CRect(), nullptr, 1, 1));
    EXPECT_EQ(nullptr, window.pm.CreateControl(&parent, L"mbutton", 1, CRect(), nullptr, 1, 1));
    EXPECT_EQ(nullptr, window.pm.CreateArea(&parent, L"CHomeFuncCtrl", 1, CRect(), nullptr, 1, 1));
    EXPECT_TRUE(window.pm.GetControls().empty());
}
