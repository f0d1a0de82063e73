#include <gtest/gtest.h>
#include <windows.h>
#include <imm.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "AppEntry.h"
#include "Paths.h"
#include "SkinPath.h"
#include "TestIconFile.h"
#include "TestLock.h"
#include "TestWindow.h"
#include "TrayIcon.h"
#include "TrayTooltip.h"
#include "WindowTestSupport.h"

namespace {

// What the host window saw of the tray's popup menu.
struct MenuSeen {
    int shown = 0;
    int items = -1;
    UINT firstId = 0;
    std::wstring firstText;
};

struct Host {
    TrayIcon* tray = nullptr;
    MenuSeen menu;
};

// The main window's routing of tray messages, as the dialog does it.
LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (host && host->tray) {
        switch (msg) {
        case TrayIcon::kCallbackMessage:
            return host->tray->OnTrayMessage(lParam);
        case WM_TIMER:
            if (host->tray->OnTimer(wParam))
                return 0;
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == TrayIcon::kExitCommand) {
                host->tray->OnExitCommand();
                return 0;
            }
            break;
        case WM_INITMENUPOPUP: {
            HMENU menu = reinterpret_cast<HMENU>(wParam);
            MenuSeen& seen = host->menu;
            ++seen.shown;
            seen.items = GetMenuItemCount(menu);
            if (seen.items > 0) {
                wchar_t text[64] = {};
                GetMenuStringW(menu, 0, text, ARRAYSIZE(text), MF_BYPOSITION);
                seen.firstText = text;
                seen.firstId = GetMenuItemID(menu, 0);
            }
            break;
        }
        default:
            break;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    EndMenu();
}

// The icon windows that Wine's shell shows in its tray window.
std::vector<HWND> TrayIconWindows()
{
    std::vector<HWND> icons;
    HWND tray = FindWindowW(nullptr, L"Wine System Tray");
    for (HWND child = GetWindow(tray, GW_CHILD); tray && child; child = GetWindow(child, GW_HWNDNEXT))
        icons.push_back(child);
    return icons;
}

HWND g_registeredWindow = nullptr;
int g_registrations = 0;
int RecordRegistration(HWND window)
{
    g_registeredWindow = window;
    ++g_registrations;
    return 4;
}

int g_exits = 0;
UINT g_exitCode = 99;
bool g_recordAtExit = true;
NOTIFYICONDATAW g_recordBeforeExit;
void RecordExit(UINT code)
{
    ++g_exits;
    g_exitCode = code;
    g_recordAtExit = ShellHasTrayRecord(g_recordBeforeExit);
}

// A hidden top-level window with its tray icon; the icon file is written for
// the test. Test processes that mark windows or add icons run one at a time.
class Tray : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_registeredWindow = nullptr;
        g_registrations = 0;
        g_exits = 0;

        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        iconPath_ = std::wstring(temp) + L"caldris-tray-" + std::to_wstring(GetCurrentProcessId()) + L".ico";
        ASSERT_TRUE(WriteTestIcon(iconPath_, RGB(200, 40, 30)));

        ASSERT_TRUE(hwnd_);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&host_));

        tray_.SetIconPath(iconPath_);
        tray_.SetProcessExit(RecordExit);
        host_.tray = &tray_;
        iconsBefore_ = TrayIconWindows();
    }

    void TearDown() override
    {
        tray_.RemoveTrayIcon();
        host_.tray = nullptr;
        RemovePropW(hwnd_, L"Vantrel Glimra");
        DeleteFileW(iconPath_.c_str());
    }

    void AddTray()
    {
        tray_.SetupTray(hwnd_);
        PumpFor(100);
    }

    // Our icon's window in the shell's tray (the one that was not there before).
    HWND OurIconWindow()
    {
        HWND ours = nullptr;
        PumpUntil([&] {
            for (HWND w : TrayIconWindows())
                if (std::find(iconsBefore_.begin(), iconsBefore_.end(), w) == iconsBefore_.end())
                    ours = w;
            return ours != nullptr;
        });
        return ours;
    }

    CrossProcessLock lock_{L"CaldrisTest.WindowProperty"};
    std::atomic<bool> upgrading_{false};
    TrayIcon tray_{upgrading_, RecordRegistration};
    Host host_;
    TestWindow window_{{.className = L"CaldrisTrayTestWindow", .proc = HostProc, .title = L"GLIMRA",
                        .exStyle = WS_EX_TOOLWINDOW, .rect = {10, 10, 130, 90}}};
    const HWND hwnd_ = window_.get();
    std::wstring iconPath_;
    std::vector<HWND> iconsBefore_;
};

TEST(TrayRecord, StartsEmptyWithTheFullStructureSize)
{
    std::atomic<bool> upgrading{false};
    TrayIcon tray(upgrading);
    EXPECT_EQ(tray.Data().cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(tray.Data().hWnd, nullptr);
    EXPECT_EQ(tray.Data().hIcon, nullptr);
    EXPECT_EQ(tray.Data().uID, 0u);
    EXPECT_EQ(tray.IconPath(), GetSkinsPath() + L"Caldris.ico");
}

TEST_F(Tray, SetupMarksTheWindowAndAddsTheIcon)
{
    AddTray();
    EXPECT_EQ(GetPropW(hwnd_, L"Vantrel Glimra"), reinterpret_cast<HANDLE>(1));
    const NOTIFYICONDATAW& d = tray_.Data();
    EXPECT_EQ(d.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(d.hWnd, hwnd_);
    EXPECT_EQ(d.uID, 109u);
    EXPECT_EQ(d.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(d.uCallbackMessage, 0x69Au);
    EXPECT_NE(d.hIcon, nullptr);
    EXPECT_STREQ(d.szTip, L"Vantrel Glimra");
    EXPECT_TRUE(ShellHasTrayRecord(d));
    EXPECT_NE(OurIconWindow(), nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd_));  // added also for a hidden window
}

TEST_F(Tray, SetupStartsTimer200)
{
    AddTray();
    EXPECT_TRUE(KillTimer(hwnd_, 200));
}

TEST_F(Tray, SetupSwitchesTheInputMethodOff)
{
    ASSERT_NE(ImmGetContext(hwnd_), nullptr);
    AddTray();
    EXPECT_EQ(ImmGetContext(hwnd_), nullptr);
}

TEST_F(Tray, SetupRegistersForDeviceChanges)
{
    AddTray();
    EXPECT_EQ(g_registrations, 1);
    EXPECT_EQ(g_registeredWindow, hwnd_);
}

TEST_F(Tray, SetupGivesTheWindowIcon107)
{
    ASSERT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(107), RT_GROUP_ICON), nullptr);
    AddTray();
    EXPECT_NE(SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(hwnd_, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(Tray, DefaultIconComesFromTheSkinFolder)
{
    std::atomic<bool> upgrading{false};
    TrayIcon skinned(upgrading, RecordRegistration);
    ASSERT_NE(GetFileAttributesW(skinned.IconPath().c_str()), INVALID_FILE_ATTRIBUTES) << "skin not built";
    skinned.SetupTray(hwnd_);
    EXPECT_NE(skinned.Data().hIcon, nullptr);
    EXPECT_TRUE(ShellHasTrayRecord(skinned.Data()));
}

TEST_F(Tray, MissingIconFileAddsARecordThatIsStillRemoved)
{
    tray_.SetIconPath(iconPath_ + L".missing");
    AddTray();
    EXPECT_EQ(tray_.Data().hIcon, nullptr);
    EXPECT_TRUE(ShellHasTrayRecord(tray_.Data()));
    tray_.RemoveTrayIcon();
    EXPECT_FALSE(ShellHasTrayRecord(tray_.Data()));
}

TEST_F(Tray, Timer200ReAddsTheIconAndPlacesTheWindow)
{
    AddTray();
    const RECT before = WindowRect(hwnd_);
    PostMessageW(hwnd_, WM_TIMER, 200, 0);
    const RECT expected = MainWindowRect();
    EXPECT_TRUE(PumpUntil([&] { return SameRect(WindowRect(hwnd_), expected); }));
    EXPECT_FALSE(SameRect(before, expected));
    EXPECT_FALSE(IsWindowVisible(hwnd_));  // placed, not shown
    EXPECT_FALSE(KillTimer(hwnd_, 200));   // fires once
    EXPECT_TRUE(ShellHasTrayRecord(tray_.Data()));
    EXPECT_NE(tray_.Data().hIcon, nullptr);
    PumpFor(300);
    EXPECT_EQ(TrayIconWindows().size(), iconsBefore_.size() + 1);  // one icon, not two
}

TEST_F(Tray, OtherTimersAreNotTheTrays)
{
    AddTray();
    EXPECT_FALSE(tray_.OnTimer(201));
    const RECT r = WindowRect(hwnd_);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 10);
}

TEST_F(Tray, LeftClickMessageShowsAndPlacesTheWindow)
{
    AddTray();
    EXPECT_EQ(SendMessageW(hwnd_, 0x69A, 0, WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_TRUE(SameRect(WindowRect(hwnd_), MainWindowRect()));
    const RECT r = WindowRect(hwnd_);
    EXPECT_EQ(r.right - r.left, 500);
    EXPECT_EQ(r.bottom - r.top, 350);
}

TEST_F(Tray, OtherMouseMessagesDoNothing)
{
    AddTray();
    SendMessageW(hwnd_, 0x69A, 0, WM_MOUSEMOVE);
    SendMessageW(hwnd_, 0x69A, 0, WM_LBUTTONUP);
    SendMessageW(hwnd_, 0x69A, 0, WM_RBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_EQ(host_.menu.shown, 0);
}

TEST_F(Tray, RealClickOnTheTrayIconShowsTheWindow)
{
    AddTray();
    HWND icon = OurIconWindow();
    ASSERT_NE(icon, nullptr);
    RECT r = WindowRect(icon);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(hwnd_) != FALSE; }));
    // The window manager answers the move after the show: wait for the place.
    const RECT expected = MainWindowRect();
    EXPECT_TRUE(PumpUntil([&] { return SameRect(WindowRect(hwnd_), expected); }))
        << "at " << WindowRect(hwnd_).left << "," << WindowRect(hwnd_).top << ", not " << expected.left << ","
        << expected.top;
}

TEST_F(Tray, RightClickOffersExit)
{
    AddTray();
    SetTimer(nullptr, 0, 200, CloseMenu);
    SendMessageW(hwnd_, 0x69A, 0, WM_RBUTTONUP);
    EXPECT_EQ(host_.menu.shown, 1);
    EXPECT_EQ(host_.menu.items, 1);
    EXPECT_EQ(host_.menu.firstId, 100u);
    EXPECT_EQ(host_.menu.firstText, L"Exit");
}

TEST_F(Tray, RightClickDuringUpgradeOffersNothing)
{
    AddTray();
    upgrading_ = true;
    SendMessageW(hwnd_, 0x69A, 0, WM_RBUTTONUP);
    EXPECT_LE(host_.menu.items, 0);
    EXPECT_TRUE(host_.menu.firstText.empty());
}

TEST_F(Tray, ExitDuringUpgradeIsDropped)
{
    AddTray();
    upgrading_ = true;
    EXPECT_EQ(SendMessageW(hwnd_, WM_COMMAND, 100, 0), 0);
    EXPECT_EQ(g_exits, 0);
    EXPECT_TRUE(ShellHasTrayRecord(tray_.Data()));
}

TEST_F(Tray, ExitRemovesTheIconThenEndsWithCodeZero)
{
    AddTray();
    g_recordBeforeExit = tray_.Data();
    ASSERT_TRUE(ShellHasTrayRecord(g_recordBeforeExit));
    SendMessageW(hwnd_, WM_COMMAND, 100, 0);
    EXPECT_EQ(g_exits, 1);
    EXPECT_EQ(g_exitCode, 0u);
    EXPECT_FALSE(g_recordAtExit);
    EXPECT_EQ(tray_.Data().hIcon, nullptr);
}

TEST_F(Tray, DestructionRemovesTheIcon)
{
    NOTIFYICONDATAW record;
    {
        std::atomic<bool> upgrading{false};
        TrayIcon other(upgrading);
        other.SetIconPath(iconPath_);
        other.SetupTray(hwnd_);
        record = other.Data();
        ASSERT_TRUE(ShellHasTrayRecord(record));
    }
    EXPECT_FALSE(ShellHasTrayRecord(record));
}

// The tooltip's second line: the value the cooler shows and its source, or
// what is missing and what the user can do.
TEST(TrayTooltipText, SaysTheShownValueAndItsSourceOrWhatToDo)
{
    const SensorStatus hwinfo{true, 45.7f, 0.0f, 0.0f, {"HWiNFO", "CPU Package"}, {}};
    const SensorStatus nvml{true, 0.0f, 52.2f, 0.0f, {}, {"NVML", "GPU Temperature"}};
    const SensorStatus integrated{true, 45.7f, 0.0f, 38.0f, {"Core Temp", "CPU Package"}, {"D3DKMT", "GPU Temperature"}};
    const SensorStatus unnamed{true, 45.0f, 0.0f, 0.0f, {"", "CPU Package"}, {}};
    SensorStatus nothing;  // a pass ran and found nothing
    nothing.sampled = true;
    struct Case {
        const char* name;
        SensorStatus status;
        TrayTooltip::Choice choice;
        std::wstring text;
    };
    const Case cases[] = {
        {"CpuWithItsSource", hwinfo, {0, 0}, L"Vantrel Glimra\nCPU 45 \u00B0C \u00B7 HWiNFO"},
        {"InFahrenheitAsTheCoolerShows", hwinfo, {0, 1}, L"Vantrel Glimra\nCPU 113 \u00B0F \u00B7 HWiNFO"},
        {"NoCpuSource", nothing, {0, 0}, std::wstring(L"Vantrel Glimra\n") + TrayTooltip::kNoCpu},
        {"GpuWithItsSource", nvml, {1, 0}, L"Vantrel Glimra\nGPU 52 \u00B0C \u00B7 NVML"},
        {"IntegratedGpu", integrated, {1, 0}, L"Vantrel Glimra\nGPU 38 \u00B0C \u00B7 D3DKMT"},
        {"NoGpuSource", hwinfo, {1, 0}, std::wstring(L"Vantrel Glimra\n") + TrayTooltip::kNoGpu},
        {"ALibraryThatDoesNotNameIt", unnamed, {0, 0}, L"Vantrel Glimra\nCPU 45 \u00B0C"},
        {"BeforeTheFirstPass", SensorStatus{}, {0, 0}, L"Vantrel Glimra"},
    };
    for (const Case& c : cases) {
        const std::wstring text = TrayTooltip::Text(c.status, c.choice);
        EXPECT_EQ(text, c.text) << c.name;
        EXPECT_LT(text.size(), ARRAYSIZE(NOTIFYICONDATAW{}.szTip)) << c.name;
    }
    EXPECT_NE(std::wstring(TrayTooltip::kNoCpu).find(L"HWiNFO"), std::wstring::npos);
}

TEST_F(Tray, TooltipFollowsTheSamplerAndChangesOnlyWithItsText)
{
    SensorStatusBoard board;
    tray_.SetStatusBoard(board);
    tray_.SetDisplayChoice(+[] { return TrayTooltip::Choice{0, 0}; });
    AddTray();
    EXPECT_STREQ(tray_.Data().szTip, L"Vantrel Glimra");
    EXPECT_FALSE(tray_.RefreshTooltip());  // nothing sampled yet: no change, no NIM_MODIFY

    // The tray's own timer takes up a pass's result.
    board.Publish({true, 45.2f, 0.0f, 0.0f, {"HWiNFO", "CPU Package"}, {}});
    EXPECT_TRUE(PumpUntil([&] { return std::wstring(tray_.Data().szTip) != L"Vantrel Glimra"; }, 10000));
    EXPECT_STREQ(tray_.Data().szTip, L"Vantrel Glimra\nCPU 45 \u00B0C \u00B7 HWiNFO");
    EXPECT_FALSE(tray_.RefreshTooltip());  // the same text is not sent again
    EXPECT_TRUE(ShellHasTrayRecord(tray_.Data()));

    // The source went away: the tooltip says what to do.
    SensorStatus none;
    none.sampled = true;
    board.Publish(none);
    EXPECT_TRUE(tray_.RefreshTooltip());
    EXPECT_EQ(std::wstring(tray_.Data().szTip), std::wstring(L"Vantrel Glimra\n") + TrayTooltip::kNoCpu);
    // The icon added anew (timer 200) keeps the text.
    EXPECT_TRUE(tray_.OnTimer(TrayIcon::kReAddTimerId));
    EXPECT_EQ(std::wstring(tray_.Data().szTip), std::wstring(L"Vantrel Glimra\n") + TrayTooltip::kNoCpu);
}

// The real exit: the process ends at once with code 0.
TEST(TrayExit, EndsTheProcessWithCodeZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atomic<bool> upgrading{false};
            TrayIcon tray(upgrading);
            tray.OnExitCommand();
            std::exit(7);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
