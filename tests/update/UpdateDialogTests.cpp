// The update dialogs in this process with real windows: the message box's
// layout and results, the firmware prompt's YES with its progress window, and
// the upgrade result boxes chosen by posted progress values. A thread timer on
// the UI thread plays the user: it keeps firing inside the boxes' modal loops,
// reads each box and clicks its buttons with mouse messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <gdiplus.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "CUIMessageBox.h"
#include "DeviceMainDlg.h"
#include "HttpClient.h"
#include "MText.h"
#include "MainLayout.h"
#include "MainWindowMessages.h"
#include "Manager.h"
#include "Paths.h"
#include "ProgramProcessSetup.h"
#include "SoftwarePackage.h"
#include "TestLock.h"
#include "TestWindow.h"
#include "UpdateProcessDlg.h"
#include "VCoolerControl.h"

namespace {

const auto* const g_processSetup = ::testing::AddGlobalTestEnvironment(new ProgramProcessSetup);

MDialog* DialogOf(HWND window)
{
    return dynamic_cast<MDialog*>(reinterpret_cast<MWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA)));
}

std::wstring TextOf(MDialog* dialog, UINT id)
{
    auto* text = dynamic_cast<MText*>(dialog->GetControl(id));
    return text ? std::wstring(text->GetTitle().GetString()) : L"?";
}

// A box as the user saw it.
struct SeenBox {
    std::wstring caption;
    std::wstring message;
    RECT window{};
    bool topmost = false;
    std::vector<RECT> buttons;  // ids 33 and 34, where present
};

// Plays the user from a thread timer of the UI thread: every box named
// "MessageBox" that appears is read, then answered with `answer` (33 OK/YES,
// 34 NO, 0 leave it open) once `mayAnswer` holds.
class User {
public:
    User() { instance_ = this; timer_ = SetTimer(nullptr, 0, 20, &User::Tick); }
    ~User()
    {
        KillTimer(nullptr, timer_);
        instance_ = nullptr;
    }

    UINT answer = CUIMessageBox::kIdOk;
    std::function<bool()> mayAnswer = [] { return true; };
    std::function<void(HWND)> onProgressWindow;
    std::vector<SeenBox> seen;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (instance_ != nullptr)
            instance_->Look();
    }

    void Look()
    {
        if (HWND progress = FindWindowW(nullptr, L"UpdateProcessDlg"); progress != nullptr && onProgressWindow)
            onProgressWindow(progress);
        HWND box = FindWindowW(nullptr, L"MessageBox");
        if (box == nullptr || !IsWindowVisible(box)) {
            current_ = nullptr;
            return;
        }
        MDialog* dialog = DialogOf(box);
        if (dialog == nullptr)
            return;
        if (box != current_) {
            current_ = box;
            SeenBox s;
            s.caption = TextOf(dialog, CUIMessageBox::kIdTitle);
            s.message = TextOf(dialog, CUIMessageBox::kIdMessage);
            GetWindowRect(box, &s.window);
            s.topmost = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
            for (UINT id : {CUIMessageBox::kIdOk, CUIMessageBox::kIdNo}) {
                if (MControl* button = dialog->GetControl(id))
                    s.buttons.push_back(button->GetRect());
            }
            seen.push_back(s);
        }
        if (answer == 0 || !mayAnswer() || answered_ == box)
            return;
        MControl* button = dialog->GetControl(answer);
        if (button == nullptr)
            return;
        answered_ = box;
        const RECT r = button->GetRect();
        POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        POINT screen = at;
        ClientToScreen(box, &screen);
        SetCursorPos(screen.x, screen.y);
        SendMessageW(box, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        SendMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }

    static User* instance_;
    UINT_PTR timer_ = 0;
    HWND current_ = nullptr;
    HWND answered_ = nullptr;
};
User* User::instance_ = nullptr;

// Marks the point in this thread's message queue that everything posted
// before it has been dispatched.
class QueueMark {
public:
    void Post() { reached = false; PostMessageW(window_.get(), WM_APP, 0, 0); }
    static inline std::atomic<bool> reached{false};

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_APP)
            reached = true;
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    TestWindow window_{{.className = L"CaldrisUpdateTestMark", .proc = Proc, .style = 0, .rect = {},
                        .parent = HWND_MESSAGE}};
};

struct BoxCase {
    int mode;
    UINT answer;
    int result;
    std::vector<RECT> buttons;
};

TEST(UpdateMessageBox, LayoutAndResultFollowTheButtonsMode)
{
    const BoxCase cases[] = {
        {CUIMessageBox::kModeOk, CUIMessageBox::kIdOk, 1, {{60, 230, 390, 260}}},
        {CUIMessageBox::kModeYesNo, CUIMessageBox::kIdOk, 1, {{105, 210, 205, 240}, {245, 210, 345, 240}}},
        {CUIMessageBox::kModeYesNo, CUIMessageBox::kIdNo, 2, {{105, 210, 205, 240}, {245, 210, 345, 240}}},
        {7, 0, 1, {}},  // no button: only its owner's DoOK closes it
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.mode);
        User user;
        user.answer = c.answer;
        if (c.answer == 0) {
            // The program closes such a box itself; here the test does.
            SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
                if (HWND box = FindWindowW(nullptr, L"MessageBox"); box != nullptr && DialogOf(box) != nullptr) {
                    KillTimer(nullptr, id);
                    DialogOf(box)->DoOK();
                }
            });
        }
        EXPECT_EQ(ShowMessageBox(L"Body text", L"Title text", c.mode), c.result);
        ASSERT_EQ(user.seen.size(), 1u);
        const SeenBox& box = user.seen[0];
        EXPECT_EQ(box.caption, L"Title text");
        EXPECT_EQ(box.message, L"Body text");
        EXPECT_EQ(box.window.right - box.window.left, 450);
        EXPECT_EQ(box.window.bottom - box.window.top, 280);
        EXPECT_TRUE(box.topmost);
        ASSERT_EQ(box.buttons.size(), c.buttons.size());
        for (size_t i = 0; i < c.buttons.size(); ++i)
            EXPECT_TRUE(SameRect(box.buttons[i], c.buttons[i])) << i;
        EXPECT_EQ(FindWindowW(nullptr, L"MessageBox"), nullptr);
    }
}

// Clicks a button of a box the way a user does, by mouse messages.
void ClickButton(HWND box, UINT id)
{
    MControl* button = DialogOf(box)->GetControl(id);
    ASSERT_NE(button, nullptr);
    const RECT r = button->GetRect();
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(box, WM_MOUSEMOVE, 0, at);
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(box, WM_LBUTTONUP, 0, at);
}

// The first visible window named `name` other than `not`.
HWND FindOther(const wchar_t* name, HWND not_)
{
    HWND found = nullptr;
    while ((found = FindWindowExW(nullptr, found, nullptr, name)) != nullptr) {
        if (found != not_ && IsWindowVisible(found))
            return found;
    }
    return nullptr;
}

// A box answered while another modal loop runs over it (a box or the
// progress window opened from inside its own loop) keeps its answer: the
// answer is not lost with the loop that would have taken its close.
struct NestedCase {
    const char* name;
    bool outerIsProgress;   // else a YES/NO box
    bool innerIsProgress;   // else an OK box
    UINT outerButton;       // for a box
    int expected;
};

struct NestedPlay {
    const NestedCase* c = nullptr;
    HWND outer = nullptr;
    UpdateProcessDlg* outerProgress = nullptr;
    bool innerOpened = false;
    bool outerGoneUnderInner = false;
};
NestedPlay g_nested;

TEST(UpdateMessageBox, AnAnswerGivenUnderANestedLoopIsKept)
{
    const NestedCase cases[] = {
        {"YES under a nested box", false, false, CUIMessageBox::kIdOk, 1},
        {"NO under the progress window", false, true, CUIMessageBox::kIdNo, 2},
        {"the progress window closed under a box", true, false, 0, 1},
    };
    for (const NestedCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_nested = NestedPlay{&c};
        // Once the outer window is up, open the inner loop from inside the
        // outer one; from inside the inner loop, answer the outer window,
        // wait for it to go, then close the inner one.
        const UINT_PTR opener = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
            NestedPlay& p = g_nested;
            if (p.innerOpened)
                return;
            p.outer = p.c->outerIsProgress ? FindWindowW(nullptr, L"UpdateProcessDlg") : FindOther(L"MessageBox", nullptr);
            if (p.outer == nullptr)
                return;
            KillTimer(nullptr, id);
            p.innerOpened = true;
            const UINT_PTR player = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR playerId, DWORD) {
                NestedPlay& q = g_nested;
                const wchar_t* innerName = q.c->innerIsProgress ? L"UpdateProcessDlg" : L"MessageBox";
                HWND inner = FindOther(innerName, q.outer);
                if (inner == nullptr)
                    return;
                if (IsWindow(q.outer)) {
                    if (q.c->outerIsProgress)
                        q.outerProgress->DoOK();
                    else
                        ClickButton(q.outer, q.c->outerButton);
                    return;
                }
                q.outerGoneUnderInner = true;
                KillTimer(nullptr, playerId);
                DialogOf(inner)->DoOK();
            });
            (void)player;
            if (p.c->innerIsProgress) {
                UpdateProcessDlg inner;
                inner.Open(nullptr);
                inner.ShowModal(SW_SHOW);
                inner.DestroyWindow();
            } else {
                ShowMessageBox(L"Inner", L"Inner box", CUIMessageBox::kModeOk);
            }
        });
        int result = -1;
        if (c.outerIsProgress) {
            UpdateProcessDlg outer;
            g_nested.outerProgress = &outer;
            outer.Open(nullptr);
            result = static_cast<int>(outer.ShowModal(SW_SHOW));
            outer.DestroyWindow();
        } else {
            result = ShowMessageBox(L"Outer", L"Outer box", CUIMessageBox::kModeYesNo);
        }
        KillTimer(nullptr, opener);
        EXPECT_TRUE(g_nested.outerGoneUnderInner);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(FindWindowW(nullptr, L"MessageBox"), nullptr);
        EXPECT_EQ(FindWindowW(nullptr, L"UpdateProcessDlg"), nullptr);
    }
}

// The main dialog with a firmware upgrade command that reports like the real
// one: progress to the window, then the outcome.
class UpgradeDlg : public DeviceMainDlg {
public:
    ~UpgradeDlg() override { ShutdownWorker(); }
    std::atomic<bool> progressSeen{false};
    std::atomic<int> upgrades{0};

protected:
    void UpgradeFirmware() override
    {
        if (!Updates()->BeginUpgradeCommand())
            return;
        ++upgrades;
        ReportUpgradeStep(42, L"", false);
        WaitUntil([&] { return progressSeen.load(); }, 20000);
        // The last data report and the completion both post 100.
        ReportUpgradeStep(100, L"", true);
        ReportUpgradeStep(100, L"", true);
    }
};

class UpdateDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        vcooler::VCoolerChannel::Select(L"updatetest-" + std::to_wstring(GetCurrentProcessId()));
        coolers_ = std::make_unique<vcooler::VCoolerControl>();
        coolers_->Reset();
        vcooler::CoolerConfig cooler;
        cooler.firmwareVersion = 0x11;
        coolers_->Plug(cooler);
        // The start-up's silent software check finds nothing to offer.
        wchar_t server[512] = {};
        GetEnvironmentVariableW(L"GLIMRA_UPDATE_SERVER", server, 512);
        server_ = server;
        const std::wstring failing = server_ + L"/fault/status/404";
        SetEnvironmentVariableW(L"GLIMRA_UPDATE_SERVER", failing.c_str());
        replay_ = WriteSensorReplay(50.0);
        SetEnvironmentVariableW(L"GLIMRA_SENSOR_REPLAY", replay_.c_str());
    }
    void TearDown() override
    {
        dialog_.reset();
        SetEnvironmentVariableW(L"GLIMRA_UPDATE_SERVER", server_.c_str());
        DeleteFileW(replay_.c_str());
    }

    // A cooler at 0x11 is offered v13 on its own after start: the silent check's prompt.
    void OpenDialog()
    {
        dialog_ = std::make_unique<UpgradeDlg>();
        hwnd_ = dialog_->Create(nullptr, L"GLIMRA", 0x96020000, WS_EX_TOOLWINDOW, CRect(10, 10, 510, 360));
        ASSERT_NE(hwnd_, nullptr);
    }

    CrossProcessLock settingsLock_{L"CaldrisTest.SettingsKey"};
    CrossProcessLock windowLock_{L"CaldrisTest.WindowProperty"};
    std::unique_ptr<vcooler::VCoolerControl> coolers_;
    std::unique_ptr<UpgradeDlg> dialog_;
    std::wstring server_;
    std::wstring replay_;
    HWND hwnd_ = nullptr;
};

TEST_F(UpdateDialogs, FirmwareYesQueuesTheUpgradeUnderTheProgressWindowWhichTheWorkerCloses)
{
    User user;
    std::wstring progressText;
    RECT progressRect{};
    user.onProgressWindow = [&](HWND window) {
        MDialog* dialog = DialogOf(window);
        if (dialog == nullptr || dialog_->progressSeen)
            return;
        const std::wstring text = TextOf(dialog, UpdateProcessDlg::kIdText);
        if (text.find(L"42") == std::wstring::npos)
            return;
        progressText = text;
        GetWindowRect(window, &progressRect);
        dialog_->progressSeen = true;
    };
    OpenDialog();
    // The prompt (YES), then the success box (OK) once the progress window is gone.
    ASSERT_TRUE(PumpUntil([&] { return user.seen.size() >= 2 && FindWindowW(nullptr, L"MessageBox") == nullptr; }));
    EXPECT_TRUE(PumpUntil([&] { return FindWindowW(nullptr, L"UpdateProcessDlg") == nullptr; }));

    EXPECT_EQ(user.seen[0].caption, L"Vantrel Glimra Firmware Updates");
    EXPECT_EQ(user.seen[0].message, L"Detected the latest version:v13, update now?");
    EXPECT_EQ(dialog_->upgrades.load(), 1);
    EXPECT_EQ(progressText, L"Upgrading... firmware: 42%");
    EXPECT_EQ(progressRect.right - progressRect.left, 360);
    EXPECT_EQ(progressRect.bottom - progressRect.top, 120);
    EXPECT_EQ(progressRect.left, (GetSystemMetrics(SM_CXSCREEN) - 360) / 2);
    EXPECT_EQ(progressRect.top, (GetSystemMetrics(SM_CYSCREEN) - 120) / 2);
    ASSERT_EQ(user.seen.size(), 2u);  // the second 100 was dropped
    EXPECT_EQ(user.seen[1].caption, L"Vantrel Glimra Firmware Upgrade");
    EXPECT_EQ(user.seen[1].message, L"Firmware upgrade successful!\n\nDevice upgraded to latest version.");
}

// Command 10 that fails at once (the cooler went before the transfer began):
// the real progress window still closes, the failure is told, nothing hangs.
class LostCoolerDlg : public DeviceMainDlg {
public:
    ~LostCoolerDlg() override { ShutdownWorker(); }

protected:
    void UpgradeFirmware() override
    {
        SetDeviceConnected(false);
        DeviceMainDlg::UpgradeFirmware();
    }
};

TEST_F(UpdateDialogs, ACommandTenThatFailsAtOnceClosesTheRealProgressWindow)
{
    User user;
    auto dialog = std::make_unique<LostCoolerDlg>();
    ASSERT_NE(dialog->Create(nullptr, L"GLIMRA", 0x96020000, WS_EX_TOOLWINDOW, CRect(10, 10, 510, 360)), nullptr);
    // The start-up offer (YES), then the failure once the progress window is gone.
    ASSERT_TRUE(PumpUntil([&] { return user.seen.size() >= 2 && FindWindowW(nullptr, L"MessageBox") == nullptr; }));
    EXPECT_TRUE(PumpUntil([&] { return FindWindowW(nullptr, L"UpdateProcessDlg") == nullptr; }));
    EXPECT_EQ(user.seen[0].message, L"Detected the latest version:v13, update now?");
    EXPECT_EQ(user.seen[1].caption, L"Vantrel Glimra Firmware Upgrade");
    EXPECT_EQ(user.seen[1].message,
              L"Firmware upgrade failed!\n\nDevice not connected, please check USB connection and retry.");
    EXPECT_EQ(dialog->Updates()->State(UpdateKind::Firmware), FlowState::Idle);
    dialog.reset();
}

// Display reports the cooler received from log position `from` on, and the
// longest gap between two of them in milliseconds.
struct ReportCount {
    int reports = 0;
    double longestGapMs = 0;
};
ReportCount CountReports(vcooler::VCoolerControl& coolers, uint64_t from)
{
    ReportCount count;
    int64_t previous = -1;
    for (const vcooler::LogEntry& e : coolers.ReadLog(from)) {
        if (e.kind != vcooler::LogKind::SendFeature || e.length < 3 || e.data[0] != 0x07 || e.data[1] != 0xFF ||
            e.data[2] != 0xFF)
            continue;
        ++count.reports;
        if (previous >= 0 && (e.timeUs - previous) / 1000.0 > count.longestGapMs)
            count.longestGapMs = (e.timeUs - previous) / 1000.0;
        previous = e.timeUs;
    }
    return count;
}

// A rule of the local update server: `path` answered with `mode` from now on.
void ServerRule(const std::wstring& server, const std::wstring& path, const std::wstring& mode)
{
    std::wstring ignored;
    ASSERT_EQ(HttpClient().GetString(server + L"/_control/rule?path=" + path + L"&mode=" + mode, ignored), 1);
}

// The network runs on the update worker: while the start-up's silent check
// waits on a server that stalls or sends a byte a second, the device worker
// keeps pushing the display.
TEST_F(UpdateDialogs, TheDisplayKeepsItsPaceWhileTheServerStallsOrTrickles)
{
    const wchar_t* const faults[] = {L"/fault/stall/100", L"/fault/trickle/1.0.0.1"};
    for (const wchar_t* fault : faults) {
        SCOPED_TRACE(testing::Message() << std::string(fault, fault + wcslen(fault)));
        coolers_->Reset();
        coolers_->Plug();  // at the latest firmware: no offer of its own
        const std::wstring address = server_ + fault;
        SetEnvironmentVariableW(L"GLIMRA_UPDATE_SERVER", address.c_str());
        OpenDialog();
        ASSERT_TRUE(PumpUntil([&] { return coolers_->ReadDisplay(0).lit; }));
        ASSERT_EQ(dialog_->Updates()->State(UpdateKind::Software), FlowState::Checking);
        const uint64_t from = coolers_->LogCount();
        PumpFor(3000);
        ASSERT_EQ(dialog_->Updates()->State(UpdateKind::Software), FlowState::Checking) << "the server answered early";
        const ReportCount count = CountReports(*coolers_, from);
        EXPECT_GE(count.reports, 2) << "longest gap " << count.longestGapMs << " ms";
        dialog_.reset();
    }
}

// The tray's "Exit" (here the dialog's teardown, which ends the same way)
// while a download trickles in (the release record, the first file command 7
// fetches): the download stops, its part is deleted and the cooler goes dark.
TEST_F(UpdateDialogs, ExitDuringADownloadStopsItDeletesThePartAndDarkens)
{
    coolers_->Reset();
    coolers_->Plug();
    ServerRule(server_, L"/t51c/software/release", L"trickle/" + std::wstring(600, L'x'));
    SetEnvironmentVariableW(L"GLIMRA_UPDATE_SERVER", server_.c_str());
    User user;  // YES to the start-up's offer of 1.0.2.0
    // The dialog itself, whose teardown ends as "Exit" does (a derived one
    // would stop the worker first).
    auto dialog = std::make_unique<DeviceMainDlg>();
    ASSERT_NE(dialog->Create(nullptr, L"GLIMRA", 0x96020000, WS_EX_TOOLWINDOW, CRect(10, 10, 510, 360)), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return dialog->Updates()->State(UpdateKind::Software) == FlowState::Downloading; }));
    const std::wstring part =
        MakeSoftwarePackage(dialog->softwareBaseUrl, L"1.0.2.0", GetStagingFolderPath()).recordPath;
    ASSERT_TRUE(PumpUntil([&] { return GetFileAttributesW(part.c_str()) != INVALID_FILE_ATTRIBUTES; }));
    ASSERT_TRUE(PumpUntil([&] { return coolers_->ReadDisplay(0).lit; }));
    PumpFor(1500);  // a few bytes in

    const ULONGLONG start = GetTickCount64();
    dialog.reset();
    const ULONGLONG took = GetTickCount64() - start;
    EXPECT_FALSE(coolers_->ReadDisplay(0).lit);
    EXPECT_EQ(GetFileAttributesW(part.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_LT(took, 5000u);
    std::wstring ignored;
    HttpClient().GetString(server_ + L"/_control/clear", ignored);
}

struct ResultCase {
    const wchar_t* status;
    bool succeeded;
    int progress;
    const wchar_t* text;
};

TEST_F(UpdateDialogs, UpgradeResultTextFollowsTheStatusAndOnlyOneBoxOpensAtATime)
{
    coolers_->Reset();  // no cooler: no prompt of its own
    OpenDialog();
    QueueMark mark;
    const ResultCase cases[] = {
        {L"Device not connected, cannot upgrade", false, -1,
         L"Firmware upgrade failed!\n\nDevice not connected, please check USB connection and retry."},
        {L"Device disconnected, upgrade failed", false, -1,
         L"Firmware upgrade failed!\n\nDevice disconnected during upgrade, please reconnect and retry."},
        {L"Cannot open firmware file", false, -1,
         L"Firmware upgrade failed!\n\nCannot open firmware file, please check file integrity and retry."},
        {L"Failed to send upgrade command", false, -1,
         L"Firmware upgrade failed!\n\nFailed to send upgrade command, please check device connection and retry."},
        {L"Data transfer failed, upgrade failed", false, -1,
         L"Firmware upgrade failed!\n\nData transfer failed, please check device connection and retry."},
        {L"Firmware file too small", false, -1,
         L"Firmware upgrade failed!\n\nError: Firmware file too small\n\nPlease restart and retry."},
        {L"", true, 100, L"Firmware upgrade successful!\n\nDevice upgraded to latest version."},
        {L"", false, 100, L"Firmware upgrade failed!\n\nUpgrade process interrupted.\n\nPlease restart and retry."},
    };
    for (const ResultCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.progress << " " << std::string(c.status, c.status + wcslen(c.status)));
        User user;
        user.mayAnswer = [] { return QueueMark::reached.load(); };
        // The same value twice, as the worker posts 100 twice: the second
        // arrives while the first box is open.
        dialog_->Updates()->ReportUpgradeStep(c.progress, c.status, c.succeeded);
        PostMessageW(hwnd_, kMsgUpgradeProgress, 0, c.progress);
        mark.Post();
        ASSERT_TRUE(PumpUntil([&] { return !user.seen.empty() && FindWindowW(nullptr, L"MessageBox") == nullptr; }));
        mark.Post();
        ASSERT_TRUE(PumpUntil([] { return QueueMark::reached.load(); }));
        ASSERT_EQ(user.seen.size(), 1u);
        EXPECT_EQ(user.seen[0].caption, L"Vantrel Glimra Firmware Upgrade");
        EXPECT_EQ(user.seen[0].message, c.text);
    }
    // Values in between show nothing.
    User user;
    PostMessageW(hwnd_, kMsgUpgradeProgress, 0, 42);
    mark.Post();
    ASSERT_TRUE(PumpUntil([] { return QueueMark::reached.load(); }));
    EXPECT_TRUE(user.seen.empty());
}

}  // namespace
