// The main dialog as the program runs it: a real window receiving real
// messages, its real worker and sensor threads, the virtual cooler on a
// channel of this process, and the real Task Scheduler of Wine.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>
#include <shellapi.h>
#include <io.h>
#include <objbase.h>
#include <ole2.h>
#include <gdiplus.h>

#include <atomic>
#include <functional>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AppEntry.h"
#include "AppTestSupport.h"
#include "AutostartTask.h"
#include "DeviceMainDlg.h"
#include "MControlFont.h"
#include "MText.h"
#include "MainLayout.h"
#include "Settings.h"
#include "Manager.h"
#include "ProgramProcessSetup.h"
#include "TestLock.h"
#include "TestWindow.h"
#include "VCoolerControl.h"

namespace {

// What the dialog's command hooks saw, in order, on the worker thread.
class RecordingDlg : public DeviceMainDlg {
public:
    ~RecordingDlg() override { ShutdownWorker(); }  // the hooks use this object's members

    std::vector<std::string> Calls() const
    {
        std::lock_guard<std::mutex> lock(lock_);
        return calls_;
    }
    size_t CallCount() const
    {
        std::lock_guard<std::mutex> lock(lock_);
        return calls_.size();
    }
    std::vector<std::string> CallsFrom(size_t first) const
    {
        const std::vector<std::string> all = Calls();
        return first < all.size() ? std::vector<std::string>(all.begin() + first, all.end())
                                  : std::vector<std::string>{};
    }
    DWORD WorkerThreadOfLastCall() const { return lastThread_; }

protected:
    void Connect() override
    {
        Record("connect");
        DeviceMainDlg::Connect();
        Record("connect done");
    }
    // Routing only: the checks' own prompts are the update tests' business.
    void CheckSoftware(bool silent) override { Record(silent ? "software check (silent)" : "software check"); }
    void CheckFirmware(bool silent) override { Record(silent ? "firmware check (silent)" : "firmware check"); }

private:
    void Record(const char* what)
    {
        std::lock_guard<std::mutex> lock(lock_);
        calls_.push_back(what);
        lastThread_ = GetCurrentThreadId();
    }

    mutable std::mutex lock_;
    std::vector<std::string> calls_;
    DWORD lastThread_ = 0;
};

const std::vector<std::string> kStartUp = {"software check (silent)", "connect", "connect done",
                                           "firmware check (silent)"};

// Receives what the base handler passes on: MDialog hands a WM_COMMAND that
// names a control window back to that window (message + 0x2000).
constexpr UINT kReflectedCommand = WM_COMMAND + 0x2000;
constexpr LRESULT kReflectedAnswer = 0x4242;
std::vector<WPARAM> g_reflected;

LRESULT CALLBACK ReflectionProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == kReflectedCommand) {
        g_reflected.push_back(wParam);
        return kReflectedAnswer;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Sends stderr (the autostart code's failure messages) into a file while alive.
class StderrCapture {
public:
    explicit StderrCapture(const std::wstring& path)
    {
        std::fflush(stderr);
        saved_ = _dup(2);
        FILE* file = _wfopen(path.c_str(), L"w");
        if (file == nullptr)
            return;
        _dup2(_fileno(file), 2);
        std::fclose(file);
    }
    ~StderrCapture()
    {
        std::fflush(stderr);
        if (saved_ >= 0) {
            _dup2(saved_, 2);
            _close(saved_);
        }
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

private:
    int saved_ = -1;
};

const auto* const g_processSetup = ::testing::AddGlobalTestEnvironment(new ProgramProcessSetup);

// One dialog per test, created as the entry point creates it (but away from
// the corner and without the modal loop: the test pumps the messages).
class MainDialog : public ::testing::Test {
protected:
    static constexpr RECT kStartRect{10, 10, 510, 360};

    void SetUp() override
    {
        vcooler::VCoolerChannel::Select(L"apptest-" + std::to_wstring(GetCurrentProcessId()));
        coolers_ = std::make_unique<vcooler::VCoolerControl>();  // on the channel just selected
        coolers_->Reset();
        SetEnvironmentVariableW(L"GLIMRA_UPDATE_SERVER", kDeadUpdateServer);
        replay_ = WriteSensorReplay(54.0);
        ASSERT_FALSE(replay_.empty());
        SetEnvironmentVariableW(L"GLIMRA_SENSOR_REPLAY", replay_.c_str());

        reflection_.emplace(TestWindowSpec{.className = L"CaldrisControllerTestReflection", .proc = ReflectionProc,
                                           .rect = {0, 0, 1, 1}});
        ASSERT_NE(reflection_->get(), nullptr);
        g_reflected.clear();

        stderrPath_ = TempFileName(L"caldris-app-stderr-", L".txt");
        dialog_ = std::make_unique<RecordingDlg>();
        {
            StderrCapture capture(stderrPath_);
            hwnd_ = dialog_->Create(nullptr, L"GLIMRA", 0x96020000, WS_EX_TOOLWINDOW, CRect(kStartRect));
        }
        ASSERT_NE(hwnd_, nullptr);
    }

    void TearDown() override
    {
        if (dialog_)
            dialog_->SetFirmwareUpgrading(false);
        dialog_.reset();
        reflection_.reset();
        DeleteFileW(stderrPath_.c_str());
        DeleteFileW(replay_.c_str());
    }

    bool WaitForStartUp() { return PumpUntil([&] { return dialog_->CallCount() >= kStartUp.size(); }); }

    // Waits for the worker to record `count` more calls after `first`.
    bool WaitForCalls(size_t first, size_t count)
    {
        return PumpUntil([&] { return dialog_->CallCount() >= first + count; });
    }

    static MText* AsText(MControl* control)
    {
        return dynamic_cast<MText*>(control);
    }
    MText* FirmwareLabel() { return AsText(dialog_->GetControl(MainLayout::kIdFwVersion)); }
    // The device label shares its id with the software version label.
    MText* DeviceLabel()
    {
        for (MControl* control : dialog_->GetControls()) {
            if (control->GetControlID() != MainLayout::kIdDevice)
                continue;
            if (SameRect(control->GetRect(), MainLayout::kDevice))
                return AsText(control);
        }
        return nullptr;
    }
    static std::wstring Title(MText* label) { return label ? std::wstring(label->GetTitle().GetString()) : L"?"; }

    // The settings key, the window property and the program's shared state are
    // used one test process at a time.
    CrossProcessLock settingsLock_{L"CaldrisTest.SettingsKey"};
    CrossProcessLock windowLock_{L"CaldrisTest.WindowProperty"};
    std::unique_ptr<vcooler::VCoolerControl> coolers_;
    std::wstring replay_;
    std::wstring stderrPath_;
    std::unique_ptr<RecordingDlg> dialog_;
    HWND hwnd_ = nullptr;
    std::optional<TestWindow> reflection_;
};

TEST_F(MainDialog, StartUpQueueRunsSilentSoftwareCheckThenConnectThenSilentFirmwareCheck)
{
    ASSERT_TRUE(WaitForStartUp());
    EXPECT_EQ(dialog_->Calls(), kStartUp);
    EXPECT_NE(dialog_->WorkerThreadOfLastCall(), GetCurrentThreadId());
    EXPECT_EQ(dialog_->PendingCommands(), 0u);
}

TEST_F(MainDialog, StartUpGoesOnWithoutTheLogonTask)
{
    // Wine reads back a made-up folder descriptor owned by the user, so the
    // program folder counts as writable by non-administrators: the refusal is
    // reported on stderr and the initialisation carries on to the end.
    const std::string err = ReadTextFile(stderrPath_);
    const std::string said(kUnprotectedFolderText);
    EXPECT_NE(err.find(said.substr(0, said.size() - 1)), std::string::npos) << err;
    ASSERT_TRUE(WaitForStartUp());
    EXPECT_TRUE(IsWindow(hwnd_));
    EXPECT_EQ(GetPropW(hwnd_, L"Vantrel Glimra"), reinterpret_cast<HANDLE>(1));
    EXPECT_TRUE(ShellHasTrayRecord(hwnd_, 109));
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_NE(GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(dialog_->softwareBaseUrl, std::wstring(kDeadUpdateServer) + L"/t51c/software/");
    EXPECT_EQ(dialog_->currentSoftwareVersion, L"1.0.1.9");
}

TEST_F(MainDialog, ExitDuringAFirmwareUpgradeIsDropped)
{
    ASSERT_TRUE(WaitForStartUp());
    dialog_->SetFirmwareUpgrading(true);
    EXPECT_EQ(SendMessageW(hwnd_, WM_COMMAND, 100, reinterpret_cast<LPARAM>(reflection_->get())), 0);
    EXPECT_TRUE(g_reflected.empty());  // not passed on to the base handler
    // Still running, window and icon in place.
    EXPECT_TRUE(IsWindow(hwnd_));
    EXPECT_TRUE(ShellHasTrayRecord(hwnd_, 109));
    EXPECT_NE(dialog_->Tray().Data().hIcon, nullptr);
}

TEST_F(MainDialog, FirmwareAndSoftwareCommandsQueueFourAndThreeThenReachTheBaseHandler)
{
    ASSERT_TRUE(WaitForStartUp());
    const size_t first = dialog_->CallCount();

    EXPECT_EQ(SendMessageW(hwnd_, WM_COMMAND, 101, reinterpret_cast<LPARAM>(reflection_->get())), kReflectedAnswer);
    EXPECT_EQ(SendMessageW(hwnd_, WM_COMMAND, 102, reinterpret_cast<LPARAM>(reflection_->get())), kReflectedAnswer);
    EXPECT_EQ(g_reflected, (std::vector<WPARAM>{101, 102}));

    ASSERT_TRUE(WaitForCalls(first, 2));
    EXPECT_EQ(dialog_->CallsFrom(first), (std::vector<std::string>{"firmware check", "software check"}));
}

TEST_F(MainDialog, OtherCommandsOnlyReachTheBaseHandler)
{
    ASSERT_TRUE(WaitForStartUp());
    const size_t first = dialog_->CallCount();
    EXPECT_EQ(SendMessageW(hwnd_, WM_COMMAND, 103, reinterpret_cast<LPARAM>(reflection_->get())), kReflectedAnswer);
    EXPECT_EQ(g_reflected, (std::vector<WPARAM>{103}));
    EXPECT_EQ(dialog_->PendingCommands(), 0u);
    // The next queued command is the first one the worker runs.
    SendMessageW(hwnd_, WM_COMMAND, 102, 0);
    ASSERT_TRUE(WaitForCalls(first, 1));
    EXPECT_EQ(dialog_->CallsFrom(first), (std::vector<std::string>{"software check"}));
}

TEST_F(MainDialog, UpdateButtonClicksQueueThreeAndFour)
{
    ASSERT_TRUE(WaitForStartUp());
    const size_t first = dialog_->CallCount();
    EXPECT_EQ(dialog_->OnMessage(MainLayout::kIdSoftwareUpdate, 1, 0, 0), 0);  // press: nothing
    EXPECT_EQ(dialog_->OnMessage(MainLayout::kIdSoftwareUpdate, 2, 0, 0), 1);
    EXPECT_EQ(dialog_->OnMessage(MainLayout::kIdFirmwareUpdate, 2, 0, 0), 1);
    EXPECT_EQ(dialog_->OnMessage(MainLayout::kIdFwVersion, 2, 0, 0), 0);
    ASSERT_TRUE(WaitForCalls(first, 2));
    EXPECT_EQ(dialog_->CallsFrom(first), (std::vector<std::string>{"software check", "firmware check"}));
}

TEST_F(MainDialog, DeviceChangeWithoutAnInterfaceHeaderIsSwallowed)
{
    ASSERT_TRUE(WaitForStartUp());
    const size_t first = dialog_->CallCount();

    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << 4;
    EXPECT_EQ(SendMessageW(hwnd_, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume)), 0);
    EXPECT_EQ(SendMessageW(hwnd_, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume)), 0);
    EXPECT_EQ(SendMessageW(hwnd_, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0), 0);
    EXPECT_EQ(dialog_->PendingCommands(), 0u);

    // A marker command: had a connect been queued, the worker would run it first.
    SendMessageW(hwnd_, WM_COMMAND, 102, 0);
    ASSERT_TRUE(WaitForCalls(first, 1));
    EXPECT_EQ(dialog_->CallsFrom(first), (std::vector<std::string>{"software check"}));
}

TEST_F(MainDialog, DeviceChangeWithACoolerInterfaceQueuesAConnect)
{
    ASSERT_TRUE(WaitForStartUp());
    const size_t first = dialog_->CallCount();

    struct {
        DEV_BROADCAST_DEVICEINTERFACE_W header;
        wchar_t rest[160];
    } notice = {};
    const wchar_t path[] = L"\\\\?\\hid#vid_1a2c&pid_434d&col02#7&00000001&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    notice.header.dbcc_size = sizeof(notice);
    notice.header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    wcscpy(notice.header.dbcc_name, path);
    EXPECT_EQ(SendMessageW(hwnd_, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&notice)), 0);
    ASSERT_TRUE(WaitForCalls(first, 2));
    EXPECT_EQ(dialog_->CallsFrom(first), (std::vector<std::string>{"connect", "connect done"}));
}

TEST_F(MainDialog, Timer200AddsTheIconAnewAndMovesTheWindowToTheCorner)
{
    ASSERT_TRUE(ShellHasTrayRecord(hwnd_, 109));
    const HICON before = dialog_->Tray().Data().hIcon;
    ASSERT_NE(before, nullptr);
    ASSERT_TRUE(SameRect(WindowRect(hwnd_), kStartRect));
    const RECT corner = MainWindowRect();
    ASSERT_FALSE(SameRect(corner, kStartRect));

    PostMessageW(hwnd_, WM_TIMER, 200, 0);
    EXPECT_TRUE(PumpUntil([&] { return SameRect(WindowRect(hwnd_), corner); }));
    EXPECT_TRUE(IsWindowVisible(hwnd_));   // placed, visibility unchanged
    EXPECT_FALSE(KillTimer(hwnd_, 200));   // fires once
    EXPECT_TRUE(ShellHasTrayRecord(hwnd_, 109));
    EXPECT_NE(dialog_->Tray().Data().hIcon, nullptr);
    EXPECT_NE(dialog_->Tray().Data().hIcon, before);  // loaded anew
}

TEST_F(MainDialog, OtherTimersLeaveTheWindowWhereItIs)
{
    PostMessageW(hwnd_, WM_TIMER, 201, 0);
    PumpFor(300);
    EXPECT_TRUE(SameRect(WindowRect(hwnd_), kStartRect));
    EXPECT_TRUE(KillTimer(hwnd_, 200));  // the re-add timer is still pending
}

TEST_F(MainDialog, TrayLeftClickShowsTheHiddenWindowInTheCorner)
{
    ShowWindow(hwnd_, SW_HIDE);
    ASSERT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_EQ(SendMessageW(hwnd_, 0x69A, 0, WM_LBUTTONDOWN), 0);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_TRUE(SameRect(WindowRect(hwnd_), MainWindowRect()));
}

TEST_F(MainDialog, WorkerLabelsAreAppliedOnTheUiThread)
{
    MText* device = DeviceLabel();
    MText* firmware = FirmwareLabel();
    ASSERT_NE(device, nullptr);
    ASSERT_NE(firmware, nullptr);
    EXPECT_EQ(Title(device), L"Device:");
    EXPECT_EQ(Title(firmware), L"FW Version:");

    // The start-up connect finds no cooler; until this thread handles its
    // messages the labels stay as they are.
    ASSERT_TRUE(WaitUntil([&] { return dialog_->CallCount() >= 3; }));
    EXPECT_EQ(Title(device), L"Device:");
    EXPECT_EQ(Title(firmware), L"FW Version:");
    EXPECT_TRUE(PumpUntil([&] { return Title(device) == L"Device:0" && Title(firmware) == L"FW Version: 0"; }));
}

TEST_F(MainDialog, PluggedCoolerShowsItsCountAndFirmwareVersion)
{
    MText* device = DeviceLabel();
    MText* firmware = FirmwareLabel();
    ASSERT_NE(device, nullptr);
    ASSERT_NE(firmware, nullptr);
    ASSERT_TRUE(WaitForStartUp());
    ASSERT_TRUE(PumpUntil([&] { return Title(device) == L"Device:0"; }));

    // The virtual cooler sends its arrival notices to this window.
    vcooler::CoolerConfig config;
    config.firmwareVersion = 0x13;
    const int index = coolers_->Plug(config);
    ASSERT_GE(index, 0);
    EXPECT_TRUE(PumpUntil([&] { return Title(device) == L"Device:1" && Title(firmware) == L"FW Version: V13"; }))
        << "device " << testing::PrintToString(Title(device)) << " firmware "
        << testing::PrintToString(Title(firmware));
    EXPECT_EQ(dialog_->DeviceConnected(), true);

    coolers_->Unplug(index);
    EXPECT_TRUE(PumpUntil([&] { return Title(device) == L"Device:0" && Title(firmware) == L"FW Version: 0"; }))
        << "device " << testing::PrintToString(Title(device)) << " firmware "
        << testing::PrintToString(Title(firmware));
    EXPECT_EQ(dialog_->DeviceConnected(), false);
}

TEST_F(MainDialog, SampledCpuTemperatureReachesThePluggedCoolersDisplay)
{
    // CPU, Celsius, light on, whatever the settings key holds.
    dialog_->SetDeviceType(0);
    dialog_->SetTempeType(0);
    dialog_->SetLedSwitch(1);
    ASSERT_TRUE(WaitForStartUp());
    const int index = coolers_->Plug();
    ASSERT_GE(index, 0);

    // The replayed 54.0 degrees: sampler -> shared record -> worker -> display report.
    vcooler::DisplayState display;
    EXPECT_TRUE(PumpUntil([&] {
        display = coolers_->ReadDisplay(index);
        return display.lit && display.digits[0] == 0 && display.digits[1] == 5 && display.digits[2] == 4;
    })) << "lit " << display.lit << " digits " << int(display.digits[0]) << int(display.digits[1])
        << int(display.digits[2]);

    dialog_->SetTempeType(1);  // 54 C = 129.2 F
    EXPECT_TRUE(PumpUntil([&] {
        display = coolers_->ReadDisplay(index);
        return display.lit && display.digits[0] == 1 && display.digits[1] == 2 && display.digits[2] == 9;
    })) << "lit " << display.lit << " digits " << int(display.digits[0]) << int(display.digits[1])
        << int(display.digits[2]);
}

// The sampled value reaches the tray's tooltip with its source, and the
// tooltip follows the user's choice of what the cooler shows.
TEST_F(MainDialog, TrayTooltipNamesTheShownValueAndItsSource)
{
    WriteRegValue(kDeviceTypeValue, L"0");
    WriteRegValue(kTempeTypeValue, L"0");
    auto tip = [&] { return std::wstring(dialog_->Tray().Data().szTip); };
    EXPECT_TRUE(PumpUntil([&] { return tip() == L"Vantrel Glimra\nCPU 54 \u00B0C \u00B7 replay"; })) << tip().c_str();

    // Switched to the GPU, of which this machine has none: the tooltip says so.
    WriteRegValue(kDeviceTypeValue, L"1");
    EXPECT_TRUE(PumpUntil([&] { return tip().rfind(L"Vantrel Glimra\nNo GPU temperature", 0) == 0; }));
    WriteRegValue(kDeviceTypeValue, L"0");
}

TEST_F(MainDialog, FirmwareLabelShowsAKnownVersionInHexOtherwiseZero)
{
    ASSERT_TRUE(WaitForStartUp());
    PumpFor(100);
    MText* firmware = FirmwareLabel();
    ASSERT_NE(firmware, nullptr);

    dialog_->SetFirmware(0x13, true);
    dialog_->UpdateFwVersionText();
    EXPECT_EQ(Title(firmware), L"FW Version: V13");
    dialog_->SetFirmware(0x1a, true);
    dialog_->UpdateFwVersionText();
    EXPECT_EQ(Title(firmware), L"FW Version: V1a");
    dialog_->SetFirmware(0, true);
    dialog_->UpdateFwVersionText();
    EXPECT_EQ(Title(firmware), L"FW Version: V0");
    dialog_->SetFirmware(-1, true);
    dialog_->UpdateFwVersionText();
    EXPECT_EQ(Title(firmware), L"FW Version: 0");
    dialog_->SetFirmware(0x13, false);
    dialog_->UpdateFwVersionText();
    EXPECT_EQ(Title(firmware), L"FW Version: 0");
}

// Two fast clicks are two clicks: the second arrives as a double click (the
// window class takes them) and acts like the first on every clickable spot of
// both pages, so each switch and the gear end where they started.
TEST_F(MainDialog, TheSecondClickOfAFastPairCountsOnEverySpot)
{
    ASSERT_TRUE(WaitForStartUp());
    dialog_->EnableWndDrag(FALSE);  // a press on the background would start the system's move loop
    auto fastPair = [&](const RECT& r) {
        POINT pt = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        const LPARAM at = MAKELPARAM(pt.x, pt.y);
        ClientToScreen(hwnd_, &pt);
        SetCursorPos(pt.x, pt.y);
        SendMessageW(hwnd_, WM_MOUSEMOVE, 0, at);
        SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(hwnd_, WM_LBUTTONUP, 0, at);
        SendMessageW(hwnd_, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(hwnd_, WM_LBUTTONUP, 0, at);
    };
    const struct {
        const char* spot;
        bool settingsPage;
        RECT rect;
        std::function<int()> state;
    } spots[] = {
        {"unit", false, MainLayout::kUnit, [&] { return dialog_->TempeType(); }},
        {"light", false, MainLayout::kLed, [&] { return dialog_->LedSwitch(); }},
        {"source", false, MainLayout::kSource, [&] { return dialog_->DeviceType(); }},
        {"gear on the main page", false, MainLayout::kSettings, [&] { return dialog_->SettingsPageShown(); }},
        {"gear on the settings page", true, MainLayout::kSettings, [&] { return dialog_->SettingsPageShown(); }},
    };
    for (const auto& spot : spots) {
        SCOPED_TRACE(spot.spot);
        if ((dialog_->SettingsPageShown() != 0) != spot.settingsPage) {
            SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(420, 26));
            SendMessageW(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM(420, 26));
        }
        ASSERT_EQ(spot.settingsPage, dialog_->SettingsPageShown() != 0);
        const int before = spot.state();
        fastPair(spot.rect);
        EXPECT_EQ(before, spot.state());
    }

    // The update buttons of the settings page check twice.
    const size_t first = dialog_->CallCount();
    fastPair(MainLayout::kSoftwareUpdate);
    ASSERT_TRUE(WaitForCalls(first, 2));
    EXPECT_EQ(dialog_->CallsFrom(first), (std::vector<std::string>{"software check", "software check"}));
}

// A command that ignores the stop request and outlasts StopThread's 1000 ms.
std::atomic<int> g_slowEntered{0};
std::atomic<int> g_slowFinished{0};

class SlowCommandDlg : public DeviceMainDlg {
protected:
    void CheckFirmware(bool silent) override
    {
        if (silent)
            return;
        g_slowEntered = 1;
        Sleep(1500);
        g_slowFinished = 1;
    }
};

TEST_F(MainDialog, TeardownWaitsForACommandThatOutlastsTheStopBound)
{
    dialog_.reset();  // the fixture's dialog is not needed here
    auto slow = std::make_unique<SlowCommandDlg>();
    ASSERT_NE(slow->Create(nullptr, L"GLIMRA", 0x96020000, WS_EX_TOOLWINDOW, CRect(kStartRect)), nullptr);
    const HWND window = slow->GetSafeHwnd();
    SendMessageW(window, WM_COMMAND, 101, 0);
    ASSERT_TRUE(WaitUntil([] { return g_slowEntered == 1; }));
    slow.reset();
    EXPECT_EQ(g_slowFinished.load(), 1);  // the worker was done with the object before it went away
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(ShellHasTrayRecord(window, 109));
}


// Recovery: the display stays right through events outside the program.
class Recovery : public MainDialog {
protected:
    void SetUp() override
    {
        MainDialog::SetUp();
        dialog_->SetDeviceType(0);
        dialog_->SetTempeType(0);
        dialog_->SetLedSwitch(1);
    }

    // The replayed 54 degrees on cooler `index`, within the bound.
    bool ShowsReading(int index)
    {
        return PumpUntil([&] {
            const vcooler::DisplayState d = coolers_->ReadDisplay(index);
            return d.lit && d.digits[0] == 0 && d.digits[1] == 5 && d.digits[2] == 4;
        });
    }
    bool IsDark(int index) { return !coolers_->ReadDisplay(index).lit; }
    int PlugAndShow()
    {
        EXPECT_TRUE(WaitForStartUp());
        const int index = coolers_->Plug();
        EXPECT_TRUE(ShowsReading(index));
        return index;
    }
    size_t Opens()
    {
        size_t n = 0;
        for (const vcooler::LogEntry& e : coolers_->ReadLog())
            n += e.kind == vcooler::LogKind::Open ? 1 : 0;
        return n;
    }
};

TEST_F(Recovery, ResumeReopensACoolerThatCameBackWithoutANotice)
{
    const int index = PlugAndShow();
    // Gone during sleep with its notice, back without one.
    ASSERT_TRUE(coolers_->Unplug(index));
    ASSERT_TRUE(PumpUntil([&] { return Title(DeviceLabel()) == L"Device:0"; }));
    ASSERT_TRUE(coolers_->Replug(index, false));
    ASSERT_TRUE(IsDark(index));

    EXPECT_EQ(SendMessageW(hwnd_, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0), TRUE);
    EXPECT_TRUE(ShowsReading(index));
    EXPECT_TRUE(PumpUntil([&] { return Title(DeviceLabel()) == L"Device:1"; }));

    // Resumed by the user: stale handles, the display dark since the power loss.
    ASSERT_TRUE(coolers_->MakeStale(index));
    EXPECT_EQ(SendMessageW(hwnd_, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0), TRUE);
    EXPECT_TRUE(ShowsReading(index));
}

TEST_F(Recovery, StaleHandlesAreReopenedAfterFailedReports)
{
    const int index = PlugAndShow();
    const size_t opensBefore = Opens();
    ASSERT_TRUE(coolers_->MakeStale(index));  // no notice, no message
    EXPECT_TRUE(ShowsReading(index));
    EXPECT_GT(Opens(), opensBefore);
    EXPECT_EQ(dialog_->DeviceConnected(), true);
}

TEST_F(Recovery, MissedRemovalStopsThePushAndShowsDevice0)
{
    const int index = PlugAndShow();
    ASSERT_TRUE(PumpUntil([&] { return Title(DeviceLabel()) == L"Device:1"; }));
    ASSERT_TRUE(coolers_->Unplug(index, false));
    // The worker posts the count label and the firmware label as two changes,
    // so one may be seen without the other.
    EXPECT_TRUE(PumpUntil([&] {
        return Title(DeviceLabel()) == L"Device:0" && !dialog_->DeviceConnected() &&
               Title(FirmwareLabel()) == L"FW Version: 0";
    }));
}

TEST_F(Recovery, CollectionBusyAtConnectIsTriedAgainOnceFreed)
{
    ASSERT_TRUE(WaitForStartUp());
    vcooler::CoolerConfig config;
    config.collections = {{0x000C, 1, 0}, {0xFF01, 1, 1}, {0xFF00, 2, 0}};  // the display collection held
    const int index = coolers_->Plug(config);
    ASSERT_GE(index, 0);
    // Every connect the plug asked for has run and found nothing to open.
    ASSERT_TRUE(PumpUntil([&] {
        const std::vector<std::string> calls = dialog_->Calls();
        return Title(DeviceLabel()) == L"Device:0" && dialog_->PendingCommands() == 0 && calls.back() == "connect done";
    }));
    ASSERT_TRUE(coolers_->SetCollectionBusy(index, 1, false));
    EXPECT_TRUE(ShowsReading(index));
    EXPECT_TRUE(PumpUntil([&] { return Title(DeviceLabel()) == L"Device:1"; }));
}

TEST_F(Recovery, UnreadableFirmwareVersionKeepsTheDisplayGoing)
{
    const int index = PlugAndShow();
    ASSERT_TRUE(coolers_->SetFault(index, vcooler::Fault::WrongIdReads, 1000));
    ASSERT_TRUE(coolers_->MakeStale(index));  // dark until the next report
    SendMessageW(hwnd_, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);  // a connect that cannot read the version
    EXPECT_TRUE(PumpUntil([&] { return !dialog_->Firmware().known && dialog_->Firmware().value == -1; }));
    EXPECT_TRUE(ShowsReading(index));
    EXPECT_TRUE(PumpUntil([&] { return Title(FirmwareLabel()) == L"FW Version: 0"; }));
}

TEST_F(Recovery, EndOfSessionAndEndOfTheDialogLeaveTheCoolerDark)
{
    const int index = PlugAndShow();
    EXPECT_EQ(SendMessageW(hwnd_, WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_FALSE(IsDark(index)) << "only asked";
    SendMessageW(hwnd_, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(IsDark(index)) << "dark before the handler returns";
    PumpFor(1500);
    EXPECT_TRUE(IsDark(index)) << "and no report after it";

    // The dialog as the program has it (the recording one stops its worker
    // first), ended as when the modal loop ends.
    dialog_.reset();
    auto plain = std::make_unique<DeviceMainDlg>();
    ASSERT_NE(plain->Create(nullptr, L"GLIMRA", 0x96020000, WS_EX_TOOLWINDOW, CRect(kStartRect)), nullptr);
    plain->SetDeviceType(0);
    plain->SetTempeType(0);
    plain->SetLedSwitch(1);
    ASSERT_TRUE(ShowsReading(index));
    plain.reset();
    EXPECT_TRUE(IsDark(index));
}

TEST_F(Recovery, RestartedShellGetsTheIconBackAtOnce)
{
    ASSERT_TRUE(ShellHasTrayRecord(hwnd_, 109));
    NOTIFYICONDATAW gone = {};
    gone.cbSize = sizeof(gone);
    gone.hWnd = hwnd_;
    gone.uID = 109;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));  // what a shell restart loses
    ASSERT_FALSE(ShellHasTrayRecord(hwnd_, 109));
    SendMessageW(hwnd_, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(ShellHasTrayRecord(hwnd_, 109));
    EXPECT_NE(dialog_->Tray().Data().hIcon, nullptr);
}

TEST_F(Recovery, WorkAreaOrDisplayChangeMovesAShownWindowBackToItsCorner)
{
    const RECT corner = MainWindowRect();
    ASSERT_TRUE(SameRect(WindowRect(hwnd_), kStartRect));
    SendMessageW(hwnd_, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_TRUE(SameRect(WindowRect(hwnd_), corner));

    SetWindowPos(hwnd_, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd_, WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0);
    EXPECT_TRUE(SameRect(WindowRect(hwnd_), kStartRect)) << "other settings leave it";
    SendMessageW(hwnd_, WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
    EXPECT_TRUE(SameRect(WindowRect(hwnd_), corner));

    ShowWindow(hwnd_, SW_HIDE);
    SetWindowPos(hwnd_, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(hwnd_, WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
    EXPECT_TRUE(SameRect(WindowRect(hwnd_), kStartRect)) << "a hidden window is placed when shown";
}

TEST_F(Recovery, WindowAndCoolerAgreeOnAnyStoredUnit)
{
    // A value that is neither 0 nor 1, as the dialog reads it at start-up.
    dialog_.reset();
    WriteRegValue(kTempeTypeValue, L"2");
    dialog_ = std::make_unique<RecordingDlg>();
    hwnd_ = dialog_->Create(nullptr, L"GLIMRA", 0x96020000, WS_EX_TOOLWINDOW, CRect(kStartRect));
    WriteRegValue(kTempeTypeValue, L"0");
    ASSERT_NE(hwnd_, nullptr);
    ASSERT_EQ(dialog_->TempeType(), 2);
    dialog_->SetDeviceType(0);
    dialog_->SetLedSwitch(1);

    auto* unit = dynamic_cast<MControlFont*>(dialog_->GetControl(MainLayout::kIdUnit));
    ASSERT_NE(unit, nullptr);
    EXPECT_NE(std::wstring(unit->GetImagePath().GetString()).find(L"img_temp_type1.png"), std::wstring::npos)
        << "the Celsius picture";
    PlugAndShow();  // 54: Celsius on the cooler too
    EXPECT_EQ(MainLayout::NextTempeType(2), 1) << "one click on the picture shows Fahrenheit";
}

}  // namespace
