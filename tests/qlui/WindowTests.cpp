// The library's process state and the window base, through real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include "CString.h"
#include "Manager.h"
#include "QluiTestSupport.h"

namespace {

class ButtonWindow : public MWindow {
public:
    const wchar_t* GetWindowClassName() override { return L"QLTestButton"; }
    const wchar_t* GetSuperClassName() override { return L"BUTTON"; }
    WNDPROC OldProc() const { return m_OldWndProc; }
    int messages = 0;
    LRESULT OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        ++messages;
        return MWindow::OnWindowMessage(msg, wParam, lParam);
    }
};

class NamedControl : public TestControl {
public:
    using TestControl::TestControl;
};

} // namespace

TEST(Manager, ScaleRuleTruncatesTowardZero)
{
    Manager::SetScaleValue(1.5f);
    EXPECT_EQ(10, Manager::GetScaleValue(7));
    EXPECT_EQ(-10, Manager::GetScaleValue(-7));
    EXPECT_EQ(0, Manager::GetScaleValue(0));
    Manager::SetScaleValue(1.0f);
    EXPECT_EQ(7, Manager::GetScaleValue(7));
}

TEST(Manager, DefaultsAndFontSettings)
{
    EXPECT_EQ(CString(L"theme1\\"), Manager::GetTheme());
    EXPECT_EQ(0xFFBD30FFu, Manager::GetSelectColor().GetValue());
    CString oldName = Manager::GetFontName();
    int oldSize = Manager::GetFontWidth();
    Manager::SetFont(L"Open Sans Semibold", 20);
    EXPECT_EQ(CString(L"Open Sans Semibold"), Manager::GetFontName());
    EXPECT_EQ(20, Manager::GetFontWidth());
    Manager::SetFont(oldName, oldSize);
}

TEST(Manager, SkinFolderIsBesideTheExecutable)
{
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    CString expected(exe);
    expected = expected.Left(expected.ReverseFind(L'\\') + 1) + L"skins\\theme1\\";
    EXPECT_EQ(expected, GetSkinFolder());
}

TEST(Manager, WindowRegistryIsASet)
{
    TestWindow a;
    Manager::AddWnd(&a);
    Manager::AddWnd(&a);
    EXPECT_EQ(1u, Manager::GetWndCount());
    Manager::DeleteWnd(&a);
    EXPECT_EQ(0u, Manager::GetWndCount());
}

TEST(Manager, AltF4FilterDropsMessages)
{
    INPUT down[2] = {};
    down[0].type = down[1].type = INPUT_KEYBOARD;
    down[0].ki.wVk = VK_MENU;
    down[1].ki.wVk = VK_F4;
    ::SendInput(2, down, sizeof(INPUT));
    bool reported = ::GetAsyncKeyState(VK_MENU) != 0 && ::GetAsyncKeyState(VK_F4) != 0;
    MSG msg = {};
    BOOL filtered = Manager::PreTranslateMessage(&msg);
    INPUT up[2] = {down[1], down[0]};
    up[0].ki.dwFlags = up[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, up, sizeof(INPUT));
    // The keystrokes themselves are not dispatched anywhere.
    while (::PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    if (!reported)
        GTEST_SKIP() << "injected keys are not visible to GetAsyncKeyState here";
    EXPECT_TRUE(filtered);
    EXPECT_FALSE(Manager::PreTranslateMessage(&msg));
}

TEST(MWindow, BindsAtNcCreateAndRunsInitDialogAfterCreation)
{
    TestWindow window;
    HWND hwnd = window.CreatePopup(40, 40, 200, 120);
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(hwnd, window.GetSafeHwnd());
    EXPECT_EQ(1, window.initCalls);
    EXPECT_EQ(hwnd, window.handleSeenAtInit);
    EXPECT_TRUE(window.initAfterCreate);
    // WM_GETMINMAXINFO arrives before WM_NCCREATE and goes to the default procedure.
    ASSERT_FALSE(window.ownSeen.empty());
    EXPECT_EQ(static_cast<UINT>(WM_NCCREATE), window.ownSeen.front());
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(static_cast<MWindow*>(&window)), ::GetWindowLongPtrW(hwnd, GWLP_USERDATA));

    // A second Create returns the same window and creates nothing.
    EXPECT_EQ(hwnd, window.Create(nullptr, L"again", WS_POPUP, 0, CRect(0, 0, 10, 10)));
    EXPECT_EQ(1, window.initCalls);

    EXPECT_TRUE(window.DestroyWindow());
    EXPECT_EQ(nullptr, window.GetSafeHwnd());
    EXPECT_EQ(1, window.destroyCalls);
    EXPECT_EQ(nullptr, window.hwndAtDestroy);
    EXPECT_EQ(window.ownSeen.end(), std::find(window.ownSeen.begin(), window.ownSeen.end(), WM_NCDESTROY));
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(MWindow, CreateMayRunAgainAfterDestruction)
{
    TestWindow window;
    HWND first = window.CreatePopup(0, 0, 50, 50);
    window.DestroyWindow();
    HWND second = window.CreatePopup(0, 0, 50, 50);
    EXPECT_NE(nullptr, second);
    EXPECT_NE(first, second);
    window.DestroyWindow();
}

TEST(MWindow, SuperclassKeepsTheSystemProcedure)
{
    ButtonWindow button;
    WNDCLASSEXW buttonClass = {};
    buttonClass.cbSize = sizeof(buttonClass);
    ASSERT_TRUE(::GetClassInfoExW(nullptr, L"BUTTON", &buttonClass));
    HWND hwnd = button.Create(nullptr, L"press", WS_POPUP, 0, CRect(0, 0, 80, 30));
    ASSERT_NE(nullptr, hwnd);
    EXPECT_EQ(buttonClass.lpfnWndProc, button.OldProc());
    EXPECT_EQ(static_cast<HANDLE>(static_cast<MWindow*>(&button)), ::GetPropW(hwnd, L"Control"));
    wchar_t className[64] = {};
    ::GetClassNameW(hwnd, className, 64);
    EXPECT_STREQ(L"QLTestButton", className);
    CString text;
    EXPECT_EQ(5, button.GetWindowTextW(text));
    EXPECT_EQ(CString(L"press"), text);
    EXPECT_GT(button.messages, 0);
    button.DestroyWindow();
    EXPECT_EQ(nullptr, button.GetSafeHwnd());
}

TEST(MWindow, GuardedWrappersDoNothingWithoutAWindow)
{
    TestWindow window;
    window.CreatePopup(0, 0, 60, 60);
    window.DestroyWindow();
    CRect rect(1, 2, 3, 4);
    CString text(L"keep");
    POINT pt = {5, 6};
    EXPECT_EQ(0, window.SendMessageW(WM_USER));
    EXPECT_FALSE(window.PostMessageW(WM_USER));
    EXPECT_EQ(0u, window.GetStyle());
    EXPECT_EQ(0u, window.GetExStyle());
    EXPECT_FALSE(window.ModifyStyle(0, WS_BORDER));
    EXPECT_FALSE(window.ShowWindow(SW_SHOW));
    EXPECT_FALSE(window.GetClientRect(&rect));
    EXPECT_EQ(CRect(1, 2, 3, 4), rect);
    EXPECT_EQ(-1, window.GetWindowTextLengthW());
    EXPECT_EQ(0, window.GetWindowTextW(text));
    EXPECT_EQ(CString(L"keep"), text);
    EXPECT_EQ(0u, window.SetTimer(1, 10));
    EXPECT_FALSE(window.ClientToScreen(&pt));
    EXPECT_EQ(5, pt.x);
    EXPECT_FALSE(window.IsWindowVisible());
    EXPECT_FALSE(window.DestroyWindow());
    EXPECT_EQ(0xFFFFFFFFu, window.ShowModal(SW_SHOW));
}

// The window icon is the module's shared icon: setting it again and again
// gives the same handles and leaves no icon (and no bitmap of one) behind.
TEST(MWindow, SetIconLeavesNoIconBehind)
{
    TestWindow window;
    ASSERT_NE(nullptr, window.CreatePopup(0, 0, 60, 60));
    HWND hwnd = window.GetSafeHwnd();
    HINSTANCE own = Manager::GetInstance();
    Manager::SetInstance(::GetModuleHandleW(L"user32.dll"));   // holds the system icons
    window.SetIcon(32512);
    const LRESULT big = ::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0);
    const LRESULT smallIcon = ::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0);
    EXPECT_NE(0, big);
    EXPECT_NE(0, smallIcon);
    GdiHandleHighWater();
    const int before = GdiHandleHighWater();
    for (int i = 0; i < 100; ++i)
        window.SetIcon(32512);
    EXPECT_LT(GdiHandleHighWater() - before, 20);
    EXPECT_EQ(big, ::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(smallIcon, ::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
    Manager::SetInstance(own);
    window.DestroyWindow();
}

TEST(MWindow, ModifyStyleReportsChangesOnly)
{
    TestWindow window;
    window.CreatePopup(0, 0, 60, 60);
    EXPECT_FALSE(window.ModifyExStyle(0, 0));
    EXPECT_TRUE(window.ModifyExStyle(0, WS_EX_TOOLWINDOW, SWP_FRAMECHANGED));
    EXPECT_TRUE(window.GetExStyle() & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(window.ModifyExStyle(0, WS_EX_TOOLWINDOW));
    EXPECT_TRUE(window.ModifyExStyle(WS_EX_TOOLWINDOW, 0));
    window.DestroyWindow();
}

TEST(MWindow, ShowModalReturnsTheLastCloseCode)
{
    TestWindow owner;
    owner.CreatePopup(0, 0, 100, 100);
    TestWindow dialog;
    dialog.CreatePopup(20, 20, 100, 80, owner.GetSafeHwnd());
    bool ownerDisabledDuringLoop = false;
    dialog.onApp = [&] {
        ownerDisabledDuringLoop = !::IsWindowEnabled(owner.GetSafeHwnd());
        dialog.PostMessageW(WM_CLOSE, 6, 0);
    };
    dialog.PostMessageW(WM_APP);
    EXPECT_EQ(6u, dialog.ShowModal(SW_SHOW));
    EXPECT_TRUE(ownerDisabledDuringLoop);
    EXPECT_TRUE(::IsWindowEnabled(owner.GetSafeHwnd()));
    EXPECT_EQ(nullptr, dialog.GetSafeHwnd());
    owner.DestroyWindow();
}

TEST(MWindow, ShowModalOfAWindowDestroyedWithoutCloseIsZero)
{
    TestWindow dialog;
    dialog.CreatePopup(20, 20, 100, 80);
    dialog.onApp = [&] { dialog.DestroyWindow(); };
    dialog.PostMessageW(WM_APP);
    EXPECT_EQ(0u, dialog.ShowModal(SW_SHOW));
}

TEST(MWindow, ShowModalRepostsQuit)
{
    TestWindow dialog;
    dialog.CreatePopup(20, 20, 100, 80);
    ::PostQuitMessage(5);
    EXPECT_EQ(0u, dialog.ShowModal(SW_SHOW));
    EXPECT_NE(nullptr, dialog.GetSafeHwnd());
    MSG msg = {};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(5u, msg.wParam);
    dialog.DestroyWindow();
}

TEST(MWindow, CenterWindowClampsToTheWorkArea)
{
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    TestWindow big;
    big.CreatePopup(30, 30, work.right - work.left + 200, work.bottom - work.top + 100);
    big.CenterWindow();
    CRect rect;
    big.GetWindowRect(&rect);
    EXPECT_EQ(work.left, rect.left);
    EXPECT_EQ(work.top, rect.top);
    big.DestroyWindow();

    TestWindow small;
    small.CreatePopup(0, 0, 100, 60);
    small.CenterWindow();
    small.GetWindowRect(&rect);
    EXPECT_EQ((work.left + work.right) / 2 - 50, rect.left);
    EXPECT_EQ((work.top + work.bottom) / 2 - 30, rect.top);
    small.DestroyWindow();
}

TEST(MWindow, CenterWindowOverAVisibleOwner)
{
    TestWindow owner;
    owner.CreatePopup(100, 100, 300, 200);
    TestWindow dialog;
    dialog.CreatePopup(0, 0, 100, 50, owner.GetSafeHwnd());
    dialog.CenterWindow();
    CRect rect;
    dialog.GetWindowRect(&rect);
    EXPECT_EQ(250 - 50, rect.left);
    EXPECT_EQ(200 - 25, rect.top);
    dialog.DestroyWindow();
    owner.DestroyWindow();
}

TEST(MObject, IsClassIsCaseSensitive)
{
    TestParent parent;
    NamedControl control(&parent, 1, CRect(0, 0, 10, 10));
    EXPECT_TRUE(control.IsClass(L"MControl"));
    EXPECT_FALSE(control.IsClass(L"mcontrol"));
    EXPECT_FALSE(control.IsClass(nullptr));
    MObject plain;
    EXPECT_EQ(nullptr, plain.GetClassNameW());
    EXPECT_FALSE(plain.IsClass(L""));
}

TEST(CString, SharesUntilWritten)
{
    CString a(L"cooler");
    CString b = a;
    EXPECT_EQ(2, a.GetRefCount());
    EXPECT_EQ(a.GetString(), b.GetString());
    b += L" 199";
    EXPECT_EQ(1, a.GetRefCount());
    EXPECT_EQ(CString(L"cooler"), a);
    EXPECT_EQ(CString(L"cooler 199"), b);
    b.SetAt(0, L'C');
    EXPECT_EQ(CString(L"Cooler 199"), b);
}

TEST(CString, FormatsAndSlices)
{
    CString s;
    s.Format(L"FW Version: V%x", 0x1a);
    EXPECT_EQ(CString(L"FW Version: V1a"), s);
    s.AppendFormat(L" (%d%s)", 50, L"%");
    EXPECT_EQ(CString(L"FW Version: V1a (50%)"), s);
    EXPECT_EQ(CString(L"FW"), s.Left(2));
    EXPECT_EQ(CString(L"50%)"), s.Right(4));
    EXPECT_EQ(CString(L"Version"), s.Mid(3, 7));
    EXPECT_EQ(3, s.Find(L"Version"));
    EXPECT_EQ(-1, s.Find(L"absent"));
    EXPECT_EQ(1, s.Replace(L"V1a", L"V2"));
    EXPECT_EQ(CString(L"FW Version: V2 (50%)"), s);
    CString blank(L"  x  ");
    EXPECT_EQ(CString(L"x"), blank.Trim());
    CString empty(nullptr);
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(0, CString(L"ABC").CompareNoCase(L"abc"));
}

TEST(CString, BufferAccess)
{
    CString s;
    wchar_t* buffer = s.GetBuffer(16);
    wcscpy(buffer, L"Device:2");
    s.ReleaseBuffer();
    EXPECT_EQ(8, s.GetLength());
    EXPECT_EQ(CString(L"Device:2"), s);
    CString copy = s;
    copy.GetBuffer(4)[7] = L'3';
    copy.ReleaseBuffer(8);
    EXPECT_EQ(CString(L"Device:2"), s);
    EXPECT_EQ(CString(L"Device:3"), copy);
}

TEST(Manager, MessageLoopDispatchesUntilQuit)
{
    TestWindow window;
    window.CreatePopup(0, 0, 50, 50);
    int apps = 0;
    window.onApp = [&] { ++apps; };
    window.PostMessageW(WM_APP);
    window.PostMessageW(WM_APP);
    ::PostQuitMessage(0);
    Manager::MessageLoop();
    EXPECT_EQ(2, apps);
    window.DestroyWindow();
}

TEST(MWindow, BringToTopRestoresAMinimisedWindow)
{
    TestWindow window;
    window.CreatePopup(10, 10, 80, 60);
    window.ShowWindow(SW_MINIMIZE);
    ASSERT_TRUE(window.IsIconic());
    window.BringToTop();
    EXPECT_FALSE(window.IsIconic());
    EXPECT_TRUE(window.IsWindowVisible());
    window.ShowWindow(SW_HIDE);
    window.BringToTop();
    EXPECT_TRUE(window.IsWindowVisible());
    window.DestroyWindow();
}
