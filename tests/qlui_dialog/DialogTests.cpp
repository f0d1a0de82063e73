// MDialog: the dispatcher, closing with a result, creation, resizing, the
// balloon, the message strip and the shadow settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

#include "DialogTestSupport.h"
#include "MAirBladder.h"
#include "MButton.h"
#include "MShadow.h"

namespace {

size_t IndexOf(const std::vector<std::string>& log, const std::string& entry)
{
    return static_cast<size_t>(std::find(log.begin(), log.end(), entry) - log.begin());
}

bool Seen(const std::vector<UINT>& messages, UINT msg)
{
    return std::find(messages.begin(), messages.end(), msg) != messages.end();
}

} // namespace

TEST(Dialog, ClickReachesTheDialogBeforeTheButtonAndEndsInOnMessage)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 40, 300, 200));
    ASSERT_NE(nullptr, dialog.CreateControl(L"MButton", 37, CRect(20, 20, 120, 50), L"OK", 1, 1));
    dialog.Mouse(WM_MOUSEMOVE, 60, 30);
    dialog.Mouse(WM_LBUTTONDOWN, 60, 30, MK_LBUTTON);
    dialog.Mouse(WM_LBUTTONUP, 60, 30);
    const auto& log = dialog.log;
    size_t down = IndexOf(log, "OnLButtonDown");
    size_t pressed = IndexOf(log, "OnMessage 37 1");
    size_t up = IndexOf(log, "OnLButtonUp");
    size_t clicked = IndexOf(log, "OnMessage 37 2");
    ASSERT_LT(clicked, log.size());
    EXPECT_LT(down, pressed);
    EXPECT_LT(pressed, up);
    EXPECT_LT(up, clicked);
    EXPECT_EQ(2u, dialog.notes.size());
}

TEST(Dialog, InitUIRunsOnceWithTheClientRectangleAfterCreate)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 40, 320, 210));
    ASSERT_EQ(1u, dialog.initUIs.size());
    EXPECT_EQ(CRect(0, 0, 320, 210), dialog.initUIs[0]);
    EXPECT_TRUE(dialog.GetPaintManager()->IsInit());
    EXPECT_EQ(dialog.GetSafeHwnd(), dialog.GetPaintManager()->GetPaintWnd());
    EXPECT_EQ(102u, dialog.GetPaintManager()->GetScrollVID());
}

TEST(Dialog, CreateStripsCaptionAndSizingFrame)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 40, 300, 200, WS_CAPTION | WS_THICKFRAME));
    DWORD style = dialog.GetStyle();
    EXPECT_EQ(0u, style & WS_CAPTION);
    EXPECT_EQ(0u, style & WS_THICKFRAME);
    EXPECT_EQ(static_cast<DWORD>(WS_CLIPCHILDREN | WS_CLIPSIBLINGS), style & (WS_CLIPCHILDREN | WS_CLIPSIBLINGS));
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP), style & WS_POPUP);
}

TEST(Dialog, EraseBackgroundNeverReachesTheDefaultProcedure)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 40, 300, 200));
    HDC dc = ::GetDC(dialog.GetSafeHwnd());
    EXPECT_EQ(1, ::SendMessageW(dialog.GetSafeHwnd(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
    ::ReleaseDC(dialog.GetSafeHwnd(), dc);
    ::RedrawWindow(dialog.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_FALSE(Seen(dialog.defaultSeen, WM_ERASEBKGND));
    // Other messages do reach it: the recorder is in place.
    EXPECT_TRUE(Seen(dialog.defaultSeen, WM_NCCALCSIZE) || Seen(dialog.defaultSeen, WM_SHOWWINDOW));
}

TEST(Dialog, CloseMessageGoesToOnUserCloseWindowNotToTheManager)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 40, 300, 200));
    EXPECT_EQ(1, ::SendMessageW(dialog.GetSafeHwnd(), WM_QLUI_CLOSEWINDOW, 7, 0));
    EXPECT_FALSE(Seen(dialog.defaultSeen, WM_QLUI_CLOSEWINDOW));
    PumpMessages(30);
    EXPECT_EQ(nullptr, dialog.GetSafeHwnd());
}

struct CloseCase {
    const char* name;
    void (MDialog::*action)();
    UINT result;
};

// Reports and test names show the action, not the member pointer's bytes.
void PrintTo(const CloseCase& c, std::ostream* os)
{
    *os << c.name;
}

class Closing : public ::testing::TestWithParam<CloseCase> {};

TEST_P(Closing, ShowModalReturnsTheResult)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 40, 300, 200, 0, false));
    dialog.CreateControl(L"MButton", 5, CRect(10, 10, 80, 40), L"OK", 1, 1);
    (dialog.*GetParam().action)();
    EXPECT_EQ(GetParam().result, dialog.ShowModal(SW_SHOWNOACTIVATE));
    EXPECT_EQ(nullptr, dialog.GetSafeHwnd());
    const auto& log = dialog.log;
    EXPECT_LT(IndexOf(log, "OnClose"), IndexOf(log, "OnDestroy"));
    EXPECT_LT(IndexOf(log, "OnDestroy"), IndexOf(log, "PostNcDestroy"));
    EXPECT_LT(IndexOf(log, "PostNcDestroy"), log.size());
    // The manager's data went with the window.
    EXPECT_TRUE(dialog.GetControls().empty());
    EXPECT_FALSE(dialog.GetPaintManager()->IsInit());
}

INSTANTIATE_TEST_SUITE_P(Results, Closing,
                         ::testing::Values(CloseCase{"DoOK", &MDialog::DoOK, 1},
                                           CloseCase{"DoCancel", &MDialog::DoCancel, 2},
                                           CloseCase{"DoClose", &MDialog::DoClose, 2},
                                           CloseCase{"DoYes", &MDialog::DoYes, 6},
                                           CloseCase{"DoNo", &MDialog::DoNo, 7}),
                         [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST(Dialog, DoOKWithoutAWindowDoesNothing)
{
    TestDialog dialog;
    dialog.DoOK();
    dialog.DoYes();
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QLUI_CLOSEWINDOW, WM_QLUI_CLOSEWINDOW, PM_REMOVE));
    EXPECT_EQ(0xFFFFFFFFu, dialog.ShowModal(SW_SHOW));
}

TEST(Dialog, OnePixelWideResizeDoesNotCallUISize)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 40, 300, 200));
    dialog.uiSizes.clear();
    dialog.SetWindowPos(nullptr, 0, 0, 1, 200, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(dialog.uiSizes.empty());
    dialog.SetWindowPos(nullptr, 0, 0, 250, 1, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(dialog.uiSizes.empty());
    dialog.SetWindowPos(nullptr, 0, 0, 250, 120, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(1u, dialog.uiSizes.size());
    EXPECT_EQ(CRect(0, 0, 250, 120), dialog.uiSizes[0]);
}

TEST(Dialog, AirBladderPointIsOnTheControlsBottomEdge)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 50, 300, 200));
    MControl* control = dialog.CreateControl(L"MButton", 5, CRect(10, 20, 110, 40), L"OK", 1, 1);
    POINT origin = {0, 0};
    ::ClientToScreen(dialog.GetSafeHwnd(), &origin);
    struct {
        UINT type;
        int x;
    } cases[] = {{0, 10}, {1, 60}, {2, 110}, {3, 10}, {99, 10}};
    for (const auto& c : cases) {
        POINT pt = dialog.GetAirBladderPoint(control, c.type);
        EXPECT_EQ(origin.x + c.x, pt.x) << c.type;
        EXPECT_EQ(origin.y + 40, pt.y) << c.type;
    }
    POINT none = dialog.GetAirBladderPoint(nullptr, 1);
    EXPECT_EQ(0, none.x);
    EXPECT_EQ(0, none.y);
}

TEST(Dialog, AirBladderNeedsBothCoordinatesAndShowsTheBalloon)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 50, 300, 200));
    EXPECT_FALSE(dialog.SetAirBladderMsg(L"tip", POINT{0, 100}, 1));
    EXPECT_FALSE(dialog.SetAirBladderMsg(L"tip", POINT{100, 0}, 1));
    EXPECT_EQ(nullptr, dialog.GetPaintManager()->GetAirBladder());
    EXPECT_TRUE(dialog.SetAirBladderMsg(L"Balloon text", POINT{150, 120}, 1));
    MAirBladder* balloon = dialog.GetPaintManager()->GetAirBladder();
    ASSERT_NE(nullptr, balloon);
    HWND hwnd = balloon->GetSafeHwnd();
    ASSERT_TRUE(::IsWindow(hwnd));
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    wchar_t text[64] = {}, cls[64] = {};
    ::GetWindowTextW(hwnd, text, 64);
    ::GetClassNameW(hwnd, cls, 64);
    EXPECT_STREQ(L"AirBladder Window", text);
    EXPECT_STREQ(L"QLWindow", cls);
    EXPECT_EQ(0u, static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)) & WS_CAPTION);
    EXPECT_EQ(L"Balloon text", balloon->GetText());
    EXPECT_EQ(3, balloon->GetMode());
    // Below the point, centred on it for type 1.
    RECT placed = balloon->GetBalloonRect();
    EXPECT_EQ(120, placed.top);
    EXPECT_EQ(150, (placed.left + placed.right) / 2);
    // The same message again changes nothing.
    EXPECT_FALSE(dialog.GetPaintManager()->SetAirBladderMsg(L"Balloon text", POINT{150, 120}, 1, 3));
    EXPECT_TRUE(dialog.GetPaintManager()->SetAirBladderMsg(L"Other", POINT{150, 120}, 1, 3));
    // The hide timer takes it away again.
    ::SendMessageW(hwnd, WM_TIMER, MAirBladder::kHideTimerId, 0);
    EXPECT_FALSE(::IsWindowVisible(hwnd));
}

TEST(Dialog, DefaultMessageStripSitsAtTheBottomCentre)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 50, 300, 200));
    dialog.SetMessage(L"Saved", CRect(), MSGLEVEL_INFO);
    EXPECT_EQ(CRect(50, 140, 250, 198), dialog.GetPaintManager()->GetMessageRect());
    dialog.SetMessage(L"Saved", CRect(5, 6, 7, 8), MSGLEVEL_INFO);
    EXPECT_EQ(CRect(5, 6, 7, 8), dialog.GetPaintManager()->GetMessageRect());
}

TEST(Dialog, ShadowSettersRejectValuesOutOfRange)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(40, 50, 300, 200));
    EXPECT_TRUE(dialog.SetSize(35));
    EXPECT_FALSE(dialog.SetSize(36));
    EXPECT_FALSE(dialog.SetSize(-36));
    EXPECT_TRUE(dialog.SetSharpness(35));
    EXPECT_FALSE(dialog.SetSharpness(36));
    EXPECT_TRUE(dialog.SetDarkness(255));
    EXPECT_FALSE(dialog.SetDarkness(256));
    EXPECT_TRUE(dialog.SetPosition(-35, 35));
    EXPECT_FALSE(dialog.SetPosition(36, 0));
    EXPECT_FALSE(dialog.SetPosition(0, -36));
    MShadow* shadow = dialog.GetPaintManager()->GetShadow();
    ASSERT_NE(nullptr, shadow);
    EXPECT_EQ(35, shadow->GetSize());
    EXPECT_EQ(35, shadow->GetSharpness());
    EXPECT_EQ(255, shadow->GetDarkness());
    EXPECT_EQ(-35, shadow->GetPosition().x);
    EXPECT_EQ(35, shadow->GetPosition().y);
    // Image edges are kept only when all four are non-negative.
    dialog.SetShadowImage(L"no-such-shadow.png", CRect(1, 2, 3, 4));
    EXPECT_EQ(CRect(1, 2, 3, 4), shadow->GetImageEdges());
    dialog.SetShadowImage(L"no-such-shadow.png", CRect(5, -1, 5, 5));
    EXPECT_EQ(CRect(1, 2, 3, 4), shadow->GetImageEdges());
}

TEST(Dialog, ShadowWindowFollowsTheDialog)
{
    TestDialog dialog;
    ASSERT_NE(nullptr, dialog.Open(60, 60, 200, 100));
    dialog.SetSize(4);
    dialog.SetSharpness(6);
    dialog.SetPosition(3, 3);
    ASSERT_TRUE(dialog.CreateShadow(TRUE, false));
    HWND shadow = dialog.GetPaintManager()->GetShadow()->GetWindow();
    ASSERT_TRUE(::IsWindow(shadow));
    EXPECT_TRUE(::IsWindowVisible(shadow));
    RECT r;
    ::GetWindowRect(shadow, &r);
    EXPECT_EQ(60 - 10 + 3, r.left);
    EXPECT_EQ(260 + 10 + 3, r.right);
    dialog.MoveWindow(100, 80, 200, 100);
    ::GetWindowRect(shadow, &r);
    EXPECT_EQ(100 - 10 + 3, r.left);
    EXPECT_EQ(80 - 10 + 3, r.top);
    EXPECT_EQ(150, MShadow::EdgeAlpha(150, 6, 0));
    EXPECT_EQ(75, MShadow::EdgeAlpha(150, 6, 3));
    EXPECT_EQ(0, MShadow::EdgeAlpha(150, 6, 6));
    dialog.DestroyWindow();
    EXPECT_FALSE(::IsWindow(shadow));
}
