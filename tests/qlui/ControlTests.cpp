// The control base: its own routing down the child tree, notifications and caches.
#include <windows.h>

#include <gtest/gtest.h>

#include "ControlNotify.h"
#include "QluiTestSupport.h"

TEST(MControl, Defaults)
{
    TestParent parent;
    TestControl control(&parent, 5, CRect(1, 2, 30, 40), 1, 0);
    EXPECT_EQ(5u, control.GetControlID());
    EXPECT_EQ(CRect(1, 2, 30, 40), control.GetRect());
    EXPECT_TRUE(control.IsVisible());
    EXPECT_FALSE(control.IsEnabled());
    EXPECT_TRUE(control.GetRresponse());
    EXPECT_FALSE(control.IsTabStop());
    EXPECT_FALSE(control.GetDblClk());
    EXPECT_FALSE(control.GetUpdate());
    EXPECT_TRUE(control.IsMouseOutside());
    EXPECT_EQ(&parent, control.GetParantObject());
    EXPECT_STREQ(L"MControl", control.GetClassNameW());
}

TEST(MControl, SetVisibleNotifiesOnlyOnChange)
{
    TestParent parent;
    TestControl control(&parent, 1, CRect(0, 0, 10, 10));
    control.SetVisible(1);
    EXPECT_TRUE(parent.updates.empty());
    control.SetVisible(0);
    ASSERT_EQ(1u, parent.updates.size());
    EXPECT_EQ(CRect(0, 0, 10, 10), parent.updates[0]);
    control.SetVisible(1, 0);
    EXPECT_EQ(1u, parent.updates.size());
    EXPECT_TRUE(control.IsVisible());
    control.SetEnabled(1);
    EXPECT_EQ(1u, parent.updates.size());
    control.SetEnabled(0);
    EXPECT_EQ(2u, parent.updates.size());
}

TEST(MControl, SetRectRepaintsTheUnion)
{
    TestParent parent;
    TestControl control(&parent, 1, CRect(0, 0, 10, 10));
    control.SetRect(20, 5, 10, 10);
    EXPECT_EQ(CRect(20, 5, 30, 15), control.GetRect());
    ASSERT_EQ(1u, parent.updates.size());
    EXPECT_EQ(CRect(0, 0, 30, 15), parent.updates[0]);
}

TEST(MControl, SetCursorExKeepsTheCursorForUnknownNames)
{
    TestParent parent;
    TestControl control(&parent, 1, CRect(0, 0, 10, 10));
    EXPECT_EQ(nullptr, control.GetCursor());
    control.SetCursorEx(L"hand");
    HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    EXPECT_EQ(hand, control.GetCursor());
    control.SetCursorEx(L"pointer");
    EXPECT_EQ(hand, control.GetCursor());
    control.SetCursorEx(L"sizewe");
    EXPECT_EQ(::LoadCursorW(nullptr, IDC_SIZEWE), control.GetCursor());
}

TEST(MControl, PositionItems)
{
    TestParent parent;
    TestControl control(&parent, 1, CRect());
    EXPECT_EQ(110, control.Position({0, 0, 10.7f}, 100, 300));
    EXPECT_EQ(290, control.Position({0, 1, 10.0f}, 100, 300));
    EXPECT_EQ(210, control.Position({1, 0, 10.0f}, 100, 300));
    EXPECT_EQ(190, control.Position({1, 1, 10.0f}, 100, 300));
    EXPECT_EQ(150, control.Position({2, 0, 25.0f}, 100, 300));
    EXPECT_EQ(300, control.Position({2, 0, 150.0f}, 100, 300));
    EXPECT_EQ(0, control.Position({3, 0, 10.0f}, 100, 300));
}

TEST(MControl, ChildrenOneAndTwoGetUntranslatedPoints)
{
    TestParent parent;
    auto* container = new ShiftingContainer(&parent, 10, CRect(100, 100, 200, 200));
    container->dx = 100;
    container->dy = 100;
    auto* close = new TestControl(container, 1, CRect(0, 0, 300, 300));
    auto* other = new TestControl(container, 5, CRect(0, 0, 300, 300));
    container->AddChild(close);
    container->AddChild(other);
    container->OnMouseMove(0, CPoint(150, 160));
    ASSERT_FALSE(close->points.empty());
    ASSERT_FALSE(other->points.empty());
    EXPECT_EQ(CPoint(150, 160), close->points.back());
    EXPECT_EQ(CPoint(50, 60), other->points.back());
    EXPECT_EQ(other, container->GetActiveChild());
    delete container;
}

TEST(MControl, LaterOverlappingChildTakesThePress)
{
    TestParent parent;
    PaintManager pm;
    TestControl container(&parent, 10, CRect(0, 0, 100, 100));
    container.SetManager(&pm);
    auto* lower = new TestControl(&container, 11, CRect(10, 10, 60, 60));
    auto* upper = new TestControl(&container, 12, CRect(40, 40, 90, 90));
    container.AddChild(lower);
    container.AddChild(upper);
    EXPECT_EQ(1, container.OnLButtonDown(MK_LBUTTON, CPoint(50, 50)));
    EXPECT_EQ(0, lower->downs);
    EXPECT_EQ(1, upper->downs);
    EXPECT_EQ(upper, container.GetActiveChild());
    container.OnLButtonUp(0, CPoint(50, 50));
    EXPECT_EQ(1, upper->ups);
    // The container's children notify the container, not the dialog.
    EXPECT_TRUE(parent.notes.empty());
}

TEST(MControl, ClickOnADisabledChildGoesToTheParentWhichTakesTheFocus)
{
    TestParent parent;
    PaintManager pm;
    TestControl container(&parent, 10, CRect(0, 0, 100, 100));
    container.SetManager(&pm);
    auto* label = new TestControl(&container, 11, CRect(10, 10, 60, 60), 1, 0);
    container.AddChild(label);
    container.OnLButtonDown(MK_LBUTTON, CPoint(20, 20));
    EXPECT_EQ(0, label->downs);
    EXPECT_EQ(1, container.downs);
    EXPECT_EQ(&container, pm.GetFocusControl());
    ASSERT_FALSE(container.focusCalls.empty());
    EXPECT_EQ(1, container.focusCalls.back());
    ASSERT_EQ(1u, parent.notes.size());
    EXPECT_EQ(kNotifyPress, parent.notes[0].code);
}

TEST(MControl, DoubleClickActsAsASecondPressByDefault)
{
    TestParent parent;
    TestControl control(&parent, 3, CRect(0, 0, 50, 50));
    control.OnLButtonDown(MK_LBUTTON, CPoint(5, 5));
    control.OnLButtonUp(0, CPoint(5, 5));
    control.OnLButtonDblClk(MK_LBUTTON, CPoint(5, 5));
    control.OnLButtonUp(0, CPoint(5, 5));
    EXPECT_EQ(2, control.downs);
    EXPECT_EQ(0, control.dblClks);
    ASSERT_EQ(4u, parent.notes.size());
    EXPECT_EQ(kNotifyPress, parent.notes[2].code);
    EXPECT_EQ(kNotifyClick, parent.notes[3].code);
}

TEST(MControl, DoubleClickNotifiesWhenEnabled)
{
    TestParent parent;
    TestControl control(&parent, 3, CRect(0, 0, 50, 50));
    control.SetDblClk(1);
    control.SetDblClkNotify(1);
    control.OnLButtonDblClk(MK_LBUTTON, CPoint(5, 6));
    EXPECT_EQ(1, control.dblClks);
    ASSERT_EQ(1u, parent.notes.size());
    EXPECT_EQ(kNotifyDoubleClick, parent.notes[0].code);
    EXPECT_EQ(static_cast<UINT>(MK_LBUTTON), parent.notes[0].wParam);
}

TEST(MControl, KeysFollowTheFocusedChildAndAreReported)
{
    TestParent parent;
    TestControl container(&parent, 10, CRect(0, 0, 100, 100));
    auto* first = new TestControl(&container, 11, CRect(0, 0, 10, 10));
    auto* focused = new TestControl(&container, 12, CRect(0, 0, 10, 10));
    container.AddChild(first);
    container.AddChild(focused);
    focused->SetFocusedFlag(1);
    focused->SetAccelerator(VK_RETURN, 0x11);
    focused->SetKeyNotify(1);
    EXPECT_EQ(1, container.OnKeyDown(VK_RETURN, 1, 0x11));
    EXPECT_TRUE(first->keys.empty());
    EXPECT_EQ(1u, focused->keys.size());
    // The focused child reports to its parent, the container.
    EXPECT_TRUE(parent.notes.empty());
    EXPECT_EQ(0, container.OnKeyDown(VK_RETURN, 1, 0));
    focused->SetVisible(0, 0);
    EXPECT_EQ(0, container.OnKeyDown(VK_RETURN, 1, 0x11));
}

TEST(MControl, KeyNotifyReportsToTheParent)
{
    TestParent parent;
    TestControl control(&parent, 7, CRect(0, 0, 10, 10));
    control.SetKeyNotify(1);
    EXPECT_EQ(0, control.OnKeyDown('A', 1, 0x10));
    ASSERT_EQ(1u, parent.notes.size());
    EXPECT_EQ(kNotifyKey, parent.notes[0].code);
    EXPECT_EQ(static_cast<UINT>('A'), parent.notes[0].wParam);
    EXPECT_EQ(0x10, parent.notes[0].lParam);
}

TEST(MControl, TimerTicksReachChildrenThatAskForThem)
{
    TestParent parent;
    TestControl container(&parent, 10, CRect(0, 0, 100, 100));
    auto* ticking = new TestControl(&container, 11, CRect(0, 0, 10, 10));
    auto* quiet = new TestControl(&container, 12, CRect(0, 0, 10, 10));
    container.AddChild(ticking);
    container.AddChild(quiet);
    ticking->SetRunTimer(1);
    EXPECT_EQ(1, container.OnTimer());
    EXPECT_EQ(1, container.timers.load());
    EXPECT_EQ(1, ticking->timers.load());
    EXPECT_EQ(0, quiet->timers.load());
}

TEST(MControl, DrawOrderIsAreasSelfChildren)
{
    TestParent parent;
    std::vector<std::wstring> log;
    TestControl container(&parent, 10, CRect(0, 0, 100, 100));
    auto* area = new TestControl(&container, 11, CRect(0, 0, 50, 50));
    auto* farArea = new TestControl(&container, 12, CRect(200, 200, 250, 250));
    auto* child = new TestControl(&container, 13, CRect(10, 10, 20, 20));
    auto* hidden = new TestControl(&container, 14, CRect(10, 10, 20, 20), 0);
    container.AddArea(area);
    container.AddArea(farArea);
    container.AddChild(child);
    container.AddChild(hidden);
    for (auto [control, name] : {std::pair{&container, L"self"}, std::pair{area, L"area"},
                                 std::pair{farArea, L"far"}, std::pair{child, L"child"}, std::pair{hidden, L"hidden"}}) {
        control->drawLog = &log;
        control->name = name;
    }
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(dc, 100, 100);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    container.Draw(dc, CRect(0, 0, 100, 100));
    EXPECT_EQ((std::vector<std::wstring>{L"area", L"self", L"child"}), log);
    log.clear();
    container.Draw(dc, CRect(300, 300, 310, 310));
    EXPECT_TRUE(log.empty());
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
}

TEST(MControl, SetUpdateReachesOverlappingChildren)
{
    TestParent parent;
    TestControl container(&parent, 10, CRect(0, 0, 100, 100));
    auto* inside = new TestControl(&container, 11, CRect(10, 10, 20, 20));
    auto* outside = new TestControl(&container, 12, CRect(200, 200, 220, 220));
    container.AddChild(inside);
    container.AddChild(outside);
    container.SetUpdate(1, 0);
    EXPECT_EQ(1, inside->GetUpdate());
    EXPECT_EQ(0, outside->GetUpdate());
}

TEST(MControl, MemoryCacheIsRecreatedOnlyForANewSize)
{
    TestParent parent;
    TestControl control(&parent, 1, CRect(0, 0, 10, 10));
    HDC screen = ::GetDC(nullptr);
    control.UpdateMemDC(screen, 40, 10);
    HDC first = control.GetMemDC();
    EXPECT_NE(nullptr, first);
    EXPECT_EQ(1, control.GetUpdate());
    control.SetUpdate(0, 0);
    control.UpdateMemDC(screen, 40, 10);
    EXPECT_EQ(first, control.GetMemDC());
    EXPECT_EQ(1, control.GetUpdate());
    control.UpdateMemDC(screen, 20, 10);
    HBITMAP current = static_cast<HBITMAP>(::GetCurrentObject(control.GetMemDC(), OBJ_BITMAP));
    BITMAP info = {};
    ::GetObjectW(current, sizeof(info), &info);
    EXPECT_EQ(20, info.bmWidth);
    control.UpdateAnimateDC(screen, 5, 5);
    EXPECT_EQ(1, control.IsAnimate());
    EXPECT_NE(nullptr, control.GetAnimateDC());
    control.UpdateAControl(1, 0);
    EXPECT_EQ(0, control.IsAnimate());
    ::ReleaseDC(nullptr, screen);
}

TEST(MControl, RemoveControlDeletesOnlyItsOwnChild)
{
    TestParent parent;
    PaintManager pm;
    TestControl container(&parent, 10, CRect(0, 0, 100, 100));
    container.SetManager(&pm);
    auto* child = new TestControl(&container, 11, CRect(0, 0, 10, 10));
    auto* grandChild = new TestControl(child, 21, CRect(0, 0, 5, 5));
    child->AddChild(grandChild);
    container.AddChild(child);
    EXPECT_EQ(grandChild, container.GetControl(21));
    pm.StoreFocusControl(child);
    container.RemoveControl(child);
    EXPECT_EQ(nullptr, pm.GetFocusControl());
    EXPECT_EQ(nullptr, container.GetControl(11));
    EXPECT_TRUE(container.GetControls().empty());
}
