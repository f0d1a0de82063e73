#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "DeviceTestSupport.h"
#include "DeviceWorker.h"
#include "FirmwareImage.h"
#include "TestLock.h"
#include "UniqueResource.h"

using namespace vcooler;

namespace {

constexpr DWORD kShortWaitStepMs = 1;

struct Step {
    int progress;
    std::wstring status;
    bool succeeded;
    bool upgrading;  // the worker's flag when the step was reported
    int64_t timeUs;
};

// The worker with the transfer reachable and every reported step recorded;
// onStep runs inside the report, on the transfer's thread, to inject faults at
// an exact point.
class UpgradeWorker : public DeviceWorker {
public:
    ~UpgradeWorker() override { ShutdownWorker(); }
    using DeviceWorker::Connect;
    using DeviceWorker::RunFirmwareTransfer;

    std::vector<Step> steps;
    std::function<void(int progress)> onStep;

protected:
    void ReportUpgradeStep(int progress, const std::wstring& status, bool succeeded) override
    {
        steps.push_back({progress, status, succeeded, FirmwareUpgrading(), NowUs()});
        if (onStep)
            onStep(progress);
    }
    bool ProbeInterface(const wchar_t*) override { return false; }
};

std::wstring ImagePath()
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"caldris-" + std::to_wstring(GetCurrentProcessId()) + L"-update.bin";
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(bytes.empty() || WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

// A cooler with firmware 0x11, connected by the worker as the connect command does.
void ConnectCooler(VCoolerControl& coolers, UpgradeWorker& worker)
{
    CoolerConfig config;
    config.firmwareVersion = 0x11;
    config.restartDelayMs = 50;
    ASSERT_EQ(coolers.Plug(config), 0);
    worker.Connect();
    ASSERT_TRUE(worker.DeviceConnected());
    ASSERT_EQ(worker.Firmware().value, 0x11);
}

// What the transfer must send for `image`, worked out here from the image
// alone: image offsets 0x1000 to 0x5EFE in 62-byte pieces after the report id,
// the last piece padded with 0xFF, byte 63 always 0.
std::vector<std::array<uint8_t, 64>> ExpectedDataReports(const std::vector<uint8_t>& image)
{
    std::vector<std::array<uint8_t, 64>> reports;
    for (size_t offset = 0x1000; offset <= 0x5EFE; offset += 62) {
        std::array<uint8_t, 64> r{};
        r[0] = 0x07;
        for (size_t k = 0; k < 62; ++k)
            r[1 + k] = offset + k <= 0x5EFE ? image[offset + k] : 0xFF;
        reports.push_back(r);
    }
    return reports;
}

std::vector<LogEntry> Sends(const std::vector<LogEntry>& log, bool ok)
{
    std::vector<LogEntry> out;
    for (const LogEntry& e : log) {
        if (e.kind == LogKind::SendFeature && (e.ok != 0) == ok)
            out.push_back(e);
    }
    return out;
}

// The log from the upgrade command on holds exactly the command and `reports`,
// byte for byte, 64 bytes each, with nothing else between (no display report,
// no reopening) and the 3 ms pause between data reports.
void ExpectTransferInLog(const std::vector<LogEntry>& log, const std::vector<std::array<uint8_t, 64>>& reports)
{
    ASSERT_EQ(log.size(), reports.size() + 1);
    const std::array<uint8_t, 64> command{0x07, 0xEE, 0xDD};
    for (size_t i = 0; i < log.size(); ++i) {
        const auto& expected = i == 0 ? command : reports[i - 1];
        ASSERT_EQ(log[i].kind, LogKind::SendFeature) << "entry " << i;
        ASSERT_EQ(log[i].length, 64) << "entry " << i;
        ASSERT_TRUE(log[i].ok) << "entry " << i;
        ASSERT_EQ(0, memcmp(log[i].data, expected.data(), 64)) << "report " << i;
        if (i >= 2) {
            EXPECT_GE(log[i].timeUs - log[i - 1].timeUs, 2000) << "report " << i;
        }
    }
}

// 20 + shown * 80 / 20223 after each report, shown capped at the window.
std::vector<int> DataProgresses()
{
    std::vector<int> values;
    for (int i = 1; i <= 327; ++i)
        values.push_back(20 + std::min(62 * i, 20223) * 80 / 20223);
    return values;
}

std::vector<int> Progresses(const std::vector<Step>& steps)
{
    std::vector<int> values;
    for (const Step& s : steps)
        values.push_back(s.progress);
    return values;
}

TEST(FirmwareTransfer, FramingAndProgressArithmetic)
{
    const CoolerUpgradeFraming& framing = DefaultCooler().upgrade;
    EXPECT_EQ(framing.DataReports(), 327u);
    EXPECT_EQ(framing.ImageMinBytes(), 24319u);
    const std::vector<uint8_t> image = BuildFirmwareImage(0x13, 24319);
    const auto expected = ExpectedDataReports(image);
    for (size_t i : {size_t{0}, size_t{163}, size_t{326}})
        EXPECT_EQ(UpgradeDataReport(framing, image, i), expected[i]) << "report " << i;
    const auto last = UpgradeDataReport(framing, image, 326);
    EXPECT_EQ(last[11], image[0x5EFE]) << "the 11th data byte of the last report is the image's last sent byte";
    EXPECT_EQ(std::count(last.begin() + 12, last.begin() + 63, 0xFF), 51);
    EXPECT_EQ(last[63], 0);
    EXPECT_EQ(UpgradeCommandReport(framing), (std::array<uint8_t, 64>{0x07, 0xEE, 0xDD}));

    for (int second = 0; second <= 8; ++second)
        EXPECT_EQ(FirmwareTransfer::WaitProgress(second), 5 + second);
    EXPECT_EQ(FirmwareTransfer::DataProgress(62, 20223), 20);
    EXPECT_EQ(FirmwareTransfer::DataProgress(20212, 20223), 99);
    EXPECT_EQ(FirmwareTransfer::DataProgress(20223, 20223), 100);
}

TEST(FirmwareTransfer, CleanRunAtFullLength)
{
    VCoolerControl& coolers = FreshCoolers();
    UpgradeWorker worker;
    ConnectCooler(coolers, worker);
    const std::vector<uint8_t> image = BuildFirmwareImage(0x13, 24319);
    WriteBytes(ImagePath(), image);
    const uint64_t before = coolers.LogCount();

    worker.RunFirmwareTransfer(ImagePath(), FirmwareTransfer::kWaitStepMs);

    std::vector<int> expected = {0, 5, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 20};
    for (int p : DataProgresses())
        expected.push_back(p);
    expected.push_back(100);
    const std::vector<Step>& s = worker.steps;
    ASSERT_EQ(Progresses(s), expected);
    EXPECT_EQ(s[0].status, L"Starting firmware upgrade...");
    EXPECT_EQ(s[1].status, L"Upgrade command sent, waiting 9s...");
    EXPECT_EQ(s[2].status, L"Waiting for device ready: 0/9s...");
    EXPECT_EQ(s[10].status, L"Waiting for device ready: 8/9s...");
    EXPECT_EQ(s[11].status, L"Device ready, reading firmware file...");
    EXPECT_EQ(s[12].status, L"Starting upgrade, do not disconnect USB");
    EXPECT_EQ(s[13].status, L"Upgrade progress: 20% (62/20223 bytes, 1000H-5efeH)");
    EXPECT_EQ(s[338].status, L"Upgrade progress: 99% (20212/20223 bytes, 1000H-5efeH)");
    EXPECT_EQ(s[339].status, L"Upgrade progress: 100% (20223/20223 bytes, 1000H-5efeH)");
    EXPECT_EQ(s[340].status, L"Firmware upgrade completed");
    for (size_t i = 0; i < s.size(); ++i) {
        EXPECT_EQ(s[i].upgrading, i + 1 < s.size()) << "step " << i << ": the flag spans the transfer, cleared before the end";
        EXPECT_EQ(s[i].succeeded, i >= 339) << "step " << i << ": set with the last data report";
    }
    // The wait: a step each second, nine seconds before the file is read.
    for (size_t i = 3; i <= 10; ++i)
        EXPECT_GE(s[i].timeUs - s[i - 1].timeUs, 950000) << "step " << i;
    EXPECT_GE(s[11].timeUs - s[1].timeUs, 8950000);
    EXPECT_EQ(worker.Firmware().value, -1);
    EXPECT_FALSE(worker.Firmware().known);

    ExpectTransferInLog(coolers.ReadLog(before), ExpectedDataReports(image));

    // The cooler restarts with the image's version and is found again.
    ASSERT_TRUE(PumpUntil([&] {
        Cooler c{};
        return coolers.ReadCooler(0, c) && c.plugged && c.generation >= 2;
    }));
    worker.Connect();
    EXPECT_EQ(worker.Firmware().value, 0x13);
    DeleteFileW(ImagePath().c_str());
}

// A larger image sends the same window; a report that fails twice is sent on
// its third attempt, 10 ms after each failure, and the transfer goes on.
TEST(FirmwareTransfer, LargerImageAndTwoFailedAttempts)
{
    VCoolerControl& coolers = FreshCoolers();
    UpgradeWorker worker;
    ConnectCooler(coolers, worker);
    std::vector<uint8_t> image = BuildFirmwareImage(0x13, 0x8000);
    for (size_t i = 0x5EFF; i < image.size(); ++i)
        image[i] = 0xA5;  // a tail that must never show
    WriteBytes(ImagePath(), image);
    worker.onStep = [&](int progress) {
        if (worker.steps.size() == 13 + 50)  // after data report 50
            coolers.SetFault(0, Fault::FailSends, 2);
        (void)progress;
    };
    const uint64_t before = coolers.LogCount();

    worker.RunFirmwareTransfer(ImagePath(), kShortWaitStepMs);

    ASSERT_EQ(worker.steps.back().progress, 100);
    EXPECT_EQ(worker.steps.back().status, L"Firmware upgrade completed");
    EXPECT_TRUE(worker.steps.back().succeeded);
    const std::vector<LogEntry> log = coolers.ReadLog(before);
    const std::vector<LogEntry> failed = Sends(log, false);
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(0, memcmp(failed[0].data, ExpectedDataReports(image)[50].data(), 64)) << "report 51 failed twice";
    EXPECT_GE(failed[1].timeUs - failed[0].timeUs, 8000);
    ExpectTransferInLog(Sends(log, true), ExpectedDataReports(image));
    DeleteFileW(ImagePath().c_str());
}

// Every row of the failure table: its status, -1 right after it, the upgrading
// flag cleared (or never set), the version left alone, and how far the
// transfer got on the cooler's side.
TEST(FirmwareTransfer, EachFailureEndsWithItsStatus)
{
    struct Row {
        const char* name;
        bool plugged;
        long imageSize;  // -1: no file
        std::function<void(VCoolerControl&, UpgradeWorker&)> arm;
        const wchar_t* status;
        size_t delivered;  // reports the cooler took, the upgrade command included
        size_t failedSends;
        size_t steps;  // reported, the -1 included
    };
    const auto afterReport = [](size_t n, std::function<void(VCoolerControl&)> act) {
        return [n, act](VCoolerControl& coolers, UpgradeWorker& worker) {
            worker.onStep = [&coolers, &worker, n, act](int) {
                if (worker.steps.size() == 13 + n)
                    act(coolers);
            };
        };
    };
    const auto nothing = [](VCoolerControl&, UpgradeWorker&) {};
    UniqueHandle held;  // the image opened by "another program" without sharing
    const Row rows[] = {
        {"no cooler", false, 24319, nothing, L"Device not connected, cannot upgrade", 0, 0, 1},
        {"command not sent", true, 24319,
         [](VCoolerControl& c, UpgradeWorker&) { c.SetFault(0, Fault::FailSends, 1); },
         L"Failed to send upgrade command", 0, 1, 2},
        {"unplugged during the wait", true, 24319,
         [](VCoolerControl& coolers, UpgradeWorker& worker) {
             worker.onStep = [&](int progress) {
                 if (progress == 7)
                     coolers.Unplug(0);
             };
         },
         L"Device disconnected, upgrade failed", 1, 0, 12},
        {"no file", true, -1, nothing, L"Cannot open firmware file", 1, 0, 13},
        {"file held", true, 24319,
         [&](VCoolerControl&, UpgradeWorker&) {
             held.reset(CreateFileW(ImagePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
         },
         L"Cannot open firmware file", 1, 0, 13},
        {"empty file", true, 0, nothing, L"Firmware file is empty", 1, 0, 13},
        {"24318 bytes", true, 24318, nothing, L"Firmware file too small", 1, 0, 13},
        {"unplugged before a data report", true, 24319, afterReport(100, [](VCoolerControl& c) { c.Unplug(0); }),
         L"Device disconnected, upgrade failed", 1 + 100, 0, 13 + 100 + 1},
        {"unplugged between attempts", true, 24319,
         afterReport(150, [](VCoolerControl& c) { c.SetFault(0, Fault::UnplugAfterOps, 0); }),
         L"Device disconnected, upgrade failed", 1 + 150, 1, 13 + 150 + 1},
        {"a report failed four times", true, 24319,
         afterReport(200, [](VCoolerControl& c) { c.SetFault(0, Fault::FailSends, 4); }),
         L"Data transfer failed, upgrade failed", 1 + 200, 4, 13 + 200 + 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VCoolerControl& coolers = FreshCoolers();
        UpgradeWorker worker;
        NoticeWindow window(worker);
        if (row.plugged)
            ConnectCooler(coolers, worker);
        DeleteFileW(ImagePath().c_str());
        if (row.imageSize >= 0) {
            std::vector<uint8_t> image = BuildFirmwareImage(0x13, 24319);
            image.resize(static_cast<size_t>(row.imageSize));
            WriteBytes(ImagePath(), image);
        }
        row.arm(coolers, worker);
        const uint64_t before = coolers.LogCount();

        worker.RunFirmwareTransfer(ImagePath(), kShortWaitStepMs);

        ASSERT_EQ(worker.steps.size(), row.steps);
        const Step& last = worker.steps.back();
        EXPECT_EQ(last.progress, -1);
        EXPECT_EQ(last.status, row.status);
        EXPECT_FALSE(last.upgrading);
        EXPECT_FALSE(worker.FirmwareUpgrading());
        EXPECT_EQ(worker.Firmware().value, row.plugged ? 0x11 : 0) << "only a completed transfer forgets the version";
        const std::vector<LogEntry> log = coolers.ReadLog(before);
        EXPECT_EQ(Sends(log, true).size(), row.delivered);
        const std::vector<LogEntry> failed = Sends(log, false);
        EXPECT_EQ(failed.size(), row.failedSends);
        for (size_t i = 1; i < failed.size(); ++i)
            EXPECT_GE(failed[i].timeUs - failed[i - 1].timeUs, 8000) << "10 ms after a failed attempt";
        held.reset();
    }
    DeleteFileW(ImagePath().c_str());
}

}  // namespace
