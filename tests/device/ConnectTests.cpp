#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "TestLock.h"
#include "DeviceNotice.h"
#include "DeviceTestSupport.h"
#include "DeviceWorker.h"
#include "IDeviceView.h"
#include "SensorSnapshot.h"

using namespace vcooler;

namespace {

class RecordingView : public IDeviceView {
public:
    void SetDeviceCountText(const wchar_t* text) override
    {
        std::lock_guard<std::mutex> lock(m_);
        texts.push_back(text);
    }
    void FwVersionChanged() override
    {
        std::lock_guard<std::mutex> lock(m_);
        ++versionRefreshes;
    }
    std::vector<std::wstring> texts;
    int versionRefreshes = 0;

private:
    std::mutex m_;
};

// The worker with its protected steps reachable, the real connect and push, and
// a probe that answers as the HID class functions would for the virtual paths.
class TestWorker : public DeviceWorker {
public:
    ~TestWorker() override { ShutdownWorker(); }
    using DeviceWorker::CheckVersionAfterConnect;
    using DeviceWorker::Connect;
    using DeviceWorker::PushDisplayValue;

    int upgradePrompts = 0;
    std::vector<std::wstring> probed;

protected:
    void RequestFirmwareUpgradePrompt() override { ++upgradePrompts; }
    bool ProbeInterface(const wchar_t* path) override
    {
        probed.push_back(path);
        return wcsstr(path, L"&col02#") != nullptr;  // the display collection of a virtual cooler
    }
};

SensorSnapshot Record(float cpu)
{
    SensorSnapshot r;
    memset(&r, 0, sizeof(r));
    r.cpuTemperature = cpu;
    return r;
}

size_t DisplayReportsSent(VCoolerControl& control)
{
    size_t n = 0;
    for (const LogEntry& e : control.ReadLog()) {
        if (e.kind == LogKind::SendFeature && e.data[1] == 0xFF && e.data[2] == 0xFF)
            ++n;
    }
    return n;
}

void RunQueued(TestWorker& worker)
{
    while (worker.PendingCommands() != 0)
        worker.Run();
}

TEST(Connect, TwoCoolersAreCountedAndBothShowTheValue)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(coolers.Plug(), 1);
    RecordingView view;
    SensorSnapshot record = Record(45.9f);
    TestWorker worker;
    worker.SetDeviceView(&view);
    worker.SetSnapshot(&record);

    worker.PushCommand(WorkerCommand::Connect);
    worker.Run();
    EXPECT_EQ(worker.DeviceConnected(), true);
    EXPECT_EQ(worker.Firmware().value, 0x13);
    EXPECT_EQ(worker.Firmware().known, true);
    EXPECT_EQ(view.texts, std::vector<std::wstring>({L"Device:2"}));
    EXPECT_EQ(view.versionRefreshes, 1);
    EXPECT_EQ(worker.upgradePrompts, 0);
    EXPECT_EQ(worker.Snapshot(), &record) << "an existing record is kept";

    worker.Run();  // idle and connected: one display report
    for (int i = 0; i < 2; ++i) {
        const DisplayState d = coolers.ReadDisplay(i);
        EXPECT_EQ(std::vector<int>(d.digits, d.digits + 3), std::vector<int>({0, 4, 5})) << "cooler " << i;
    }
    EXPECT_EQ(DisplayReportsSent(coolers), 2u);
}

TEST(Connect, NoCoolerShowsDevice0AndForgetsTheVersion)
{
    FreshCoolers();
    RecordingView view;
    TestWorker worker;
    worker.SetDeviceView(&view);
    worker.SetFirmware(0x13, true);
    worker.Connect();
    EXPECT_EQ(worker.DeviceConnected(), false);
    EXPECT_EQ(worker.Firmware().value, -1);
    EXPECT_EQ(worker.Firmware().known, false);
    EXPECT_EQ(view.texts, std::vector<std::wstring>({L"Device:0"}));
    EXPECT_EQ(view.versionRefreshes, 1);
    EXPECT_NE(worker.Snapshot(), nullptr) << "the shared record is mapped whether or not a cooler was found";
}

TEST(Connect, WorksWithoutAView)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    TestWorker worker;
    worker.Connect();
    EXPECT_EQ(worker.DeviceConnected(), true);
    EXPECT_EQ(worker.Firmware().value, 0x13);
}

TEST(Connect, VersionZeroPausesThePush)
{
    VCoolerControl& coolers = FreshCoolers();
    CoolerConfig blank;
    blank.firmwareVersion = 0;
    ASSERT_EQ(coolers.Plug(blank), 0);
    SensorSnapshot record = Record(50.0f);
    TestWorker worker;
    worker.SetSnapshot(&record);
    worker.Connect();
    EXPECT_EQ(worker.DeviceConnected(), true);
    EXPECT_EQ(worker.Firmware().value, 0);
    EXPECT_EQ(worker.Firmware().known, true);
    EXPECT_EQ(worker.upgradePrompts, 1);
    for (int i = 0; i < 3; ++i)
        worker.Run();
    EXPECT_EQ(DisplayReportsSent(coolers), 0u);
}

TEST(Connect, UnreadableVersionIsUnknownNotZeroAndThePushGoesOn)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    coolers.SetFault(0, Fault::WrongIdReads, 1000);
    SensorSnapshot record = Record(61.0f);
    TestWorker worker;
    worker.SetSnapshot(&record);
    worker.Connect();
    EXPECT_EQ(worker.Firmware().value, -1);
    EXPECT_EQ(worker.Firmware().known, false);
    EXPECT_EQ(worker.upgradePrompts, 0);
    worker.Run();
    DisplayState d = coolers.ReadDisplay(0);
    EXPECT_EQ(std::vector<int>(d.digits, d.digits + 3), std::vector<int>({0, 6, 1}));

    // A failed send of the query is unknown too; the next connect asks again.
    coolers.SetFault(0, Fault::WrongIdReads, 0);
    coolers.SetFault(0, Fault::FailSends, 1);
    worker.Connect();
    EXPECT_EQ(worker.Firmware().known, false);
    worker.Connect();
    EXPECT_EQ(worker.Firmware().value, 0x13);
    EXPECT_EQ(worker.Firmware().known, true);
}

TEST(Push, UpgradeInProgressPausesIt)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    SensorSnapshot record = Record(50.0f);
    TestWorker worker;
    worker.SetSnapshot(&record);
    worker.Connect();
    worker.SetFirmwareUpgrading(true);
    worker.PushDisplayValue();
    EXPECT_EQ(DisplayReportsSent(coolers), 0u);
    worker.SetFirmwareUpgrading(false);
    worker.PushDisplayValue();
    EXPECT_EQ(DisplayReportsSent(coolers), 1u);
}

TEST(Push, SettingsReachTheNextReport)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    SensorSnapshot record = Record(45.9f);
    record.igpuTemperature = 52.7f;
    TestWorker worker;
    worker.SetSnapshot(&record);
    worker.Connect();

    struct Step {
        int led, device, tempe;
        std::vector<int> digits;
        bool lit;
    };
    const Step steps[] = {{1, 0, 0, {0, 4, 5}, true}, {1, 0, 1, {1, 1, 3}, true}, {1, 1, 0, {0, 5, 2}, true}, {2, 1, 0, {0, 0, 0}, false}};
    for (const Step& s : steps) {
        worker.SetLedSwitch(s.led);
        worker.SetDeviceType(s.device);
        worker.SetTempeType(s.tempe);
        worker.PushDisplayValue();
        const DisplayState d = coolers.ReadDisplay(0);
        EXPECT_EQ(std::vector<int>(d.digits, d.digits + 3), s.digits);
        EXPECT_EQ(d.lit, s.lit);
    }
}

TEST(DeviceNotice, ClassifiesByPathWhateverItsCase)
{
    auto notice = [](WPARAM event, const std::wstring& path, DWORD type = DBT_DEVTYP_DEVICEINTERFACE) {
        std::vector<unsigned char> buffer(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * 2 + 8);
        auto* h = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
        h->dbcc_size = static_cast<DWORD>(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * 2);
        h->dbcc_devicetype = type;
        memcpy(h->dbcc_name, path.c_str(), (path.size() + 1) * 2);
        return ClassifyDeviceNotice(event, reinterpret_cast<LPARAM>(buffer.data())).kind;
    };
    const std::wstring lower = L"\\\\?\\hid#vid_1a2c&pid_434d&col02#7&1&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const std::wstring upper = L"\\\\?\\USB#VID_1A2C&PID_434D#5&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    const std::wstring disk = L"\\\\?\\usbstor#disk&ven_acme&prod_stick#1&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    const std::wstring otherProduct = L"\\\\?\\hid#vid_1a2c&pid_434e&col01#7&1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    EXPECT_EQ(notice(DBT_DEVICEARRIVAL, lower), DeviceNoticeKind::Arrival);
    EXPECT_EQ(notice(DBT_DEVICEREMOVECOMPLETE, lower), DeviceNoticeKind::Removal);
    EXPECT_EQ(notice(DBT_DEVICEARRIVAL, upper), DeviceNoticeKind::Arrival);
    EXPECT_EQ(notice(DBT_DEVICEARRIVAL, disk), DeviceNoticeKind::Ignore);
    EXPECT_EQ(notice(DBT_DEVICEARRIVAL, otherProduct), DeviceNoticeKind::Ignore);
    EXPECT_EQ(notice(DBT_DEVICEQUERYREMOVE, lower), DeviceNoticeKind::Ignore);
    EXPECT_EQ(notice(DBT_DEVICEARRIVAL, lower, DBT_DEVTYP_VOLUME), DeviceNoticeKind::Ignore);
    EXPECT_EQ(ClassifyDeviceNotice(DBT_DEVICEARRIVAL, 0).kind, DeviceNoticeKind::Ignore);
    EXPECT_EQ(ClassifyDeviceNotice(DBT_DEVNODES_CHANGED, 0).kind, DeviceNoticeKind::Ignore);
}

TEST(DeviceNotice, PathIsReadOnlyWithinTheStatedSize)
{
    const std::wstring path = L"\\\\?\\hid#vid_1a2c&pid_434d&col02";
    std::vector<unsigned char> buffer(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + path.size() * 2);
    auto* h = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
    h->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    memcpy(h->dbcc_name, path.c_str(), path.size() * 2);  // no terminator
    h->dbcc_size = static_cast<DWORD>(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + 12 * 2);
    const DeviceNotice cut = ClassifyDeviceNotice(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(buffer.data()));
    EXPECT_EQ(cut.path.size(), 12u);
    EXPECT_EQ(cut.kind, DeviceNoticeKind::Ignore) << "the ids lie beyond the stated size";
    h->dbcc_size = static_cast<DWORD>(buffer.size());
    const DeviceNotice whole = ClassifyDeviceNotice(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(buffer.data()));
    EXPECT_EQ(whole.path, path);
    EXPECT_EQ(whole.kind, DeviceNoticeKind::Arrival);
}

TEST(HotPlug, ArrivalQueuesOneConnectThatTheFurtherNoticesJoin)
{
    VCoolerControl& coolers = FreshCoolers();
    TestWorker worker;
    NoticeWindow window(worker);
    HidDeviceManager::Instance();  // this process hosts the program side (hid_init)
    NoticeWindow::notices = 0;

    ASSERT_EQ(coolers.Plug(), 0);
    EXPECT_EQ(NoticeWindow::notices, 4) << "the USB device and its three collections";
    EXPECT_EQ(worker.probed.size(), 4u);
    EXPECT_EQ(worker.PendingCommands(), 1u) << "a connect already waiting makes the others redundant";
}

TEST(HotPlug, NoticeStormLeavesOneConnectAndTheDisplayComesBackAtOnce)
{
    VCoolerControl& coolers = FreshCoolers();
    SensorSnapshot record = Record(45.9f);
    TestWorker worker;
    worker.SetSnapshot(&record);
    NoticeWindow window(worker);
    HidDeviceManager::Instance();
    ASSERT_EQ(coolers.Plug(), 0);
    RunQueued(worker);
    NoticeWindow::notices = 0;

    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(coolers.Unplug(0));
        ASSERT_TRUE(coolers.Replug(0));
    }
    EXPECT_EQ(NoticeWindow::notices, 2400);
    EXPECT_EQ(worker.PendingCommands(), 1u);
    worker.Run();  // the one connect
    worker.Run();  // and the display report
    const DisplayState d = coolers.ReadDisplay(0);
    EXPECT_TRUE(d.lit);
    EXPECT_EQ(std::vector<int>(d.digits, d.digits + 3), std::vector<int>({0, 4, 5}));
}

TEST(HotPlug, NoticesOfOtherDevicesAreIgnored)
{
    VCoolerControl& coolers = FreshCoolers();
    TestWorker worker;
    NoticeWindow window(worker);
    HidDeviceManager::Instance();
    NoticeWindow::notices = 0;

    CoolerConfig mouse;
    mouse.vendorId = 0x046D;
    mouse.productId = 0xC52B;
    ASSERT_EQ(coolers.Plug(mouse), 0);
    EXPECT_EQ(NoticeWindow::notices, 4);
    EXPECT_EQ(worker.PendingCommands(), 0u);
    EXPECT_TRUE(worker.probed.empty());
    ASSERT_TRUE(coolers.Unplug(0));
    EXPECT_EQ(worker.PendingCommands(), 0u);
}

TEST(HotPlug, RemovalStopsThePushAtOnceAndTheNextConnectShowsDevice0)
{
    VCoolerControl& coolers = FreshCoolers();
    RecordingView view;
    SensorSnapshot record = Record(45.9f);
    TestWorker worker;
    worker.SetDeviceView(&view);
    worker.SetSnapshot(&record);
    NoticeWindow window(worker);
    HidDeviceManager::Instance();

    ASSERT_EQ(coolers.Plug(), 0);
    RunQueued(worker);
    ASSERT_EQ(worker.DeviceConnected(), true);
    worker.Run();
    ASSERT_EQ(DisplayReportsSent(coolers), 1u);

    ASSERT_TRUE(coolers.Unplug(0));
    EXPECT_EQ(worker.DeviceConnected(), false) << "cleared by the notice itself";
    EXPECT_EQ(worker.PendingCommands(), 1u);
    RunQueued(worker);
    worker.Run();
    EXPECT_EQ(DisplayReportsSent(coolers), 1u) << "no report after the removal";
    EXPECT_EQ(view.texts.back(), L"Device:0");
    EXPECT_EQ(worker.Firmware().value, -1);

    ASSERT_TRUE(coolers.Replug(0));
    RunQueued(worker);
    EXPECT_EQ(view.texts.back(), L"Device:1");
    worker.Run();
    EXPECT_EQ(DisplayReportsSent(coolers), 2u);
}

TEST(HotPlug, NoticesFromAnotherThreadReachTheWindowsThread)
{
    VCoolerControl& coolers = FreshCoolers();
    TestWorker worker;
    NoticeWindow window(worker);
    HidDeviceManager::Instance();
    NoticeWindow::notices = 0;

    HANDLE plugger = CreateThread(
        nullptr, 0, [](void* p) -> DWORD { return static_cast<VCoolerControl*>(p)->Plug() == 0 ? 0 : 1; }, &coolers, 0, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(plugger, 0) == WAIT_OBJECT_0; }));
    CloseHandle(plugger);
    EXPECT_EQ(NoticeWindow::notices, 4);
    EXPECT_EQ(worker.PendingCommands(), 1u);
}

TEST(Connect, MapsTheSharedRecordWhenNoneIsSet)
{
    FreshCoolers();
    TestWorker worker;
    worker.PushCommand(WorkerCommand::Connect);
    worker.Run();
    ASSERT_NE(worker.Snapshot(), nullptr);
    SensorSnapshot* first = worker.Snapshot();
    worker.Connect();
    EXPECT_EQ(worker.Snapshot(), first) << "mapped once";
}

}  // namespace
