#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <sstream>
#include <cstring>
#include <string>
#include <vector>

#include "TestLock.h"
#include "CoolerModel.h"
#include "DeviceTestSupport.h"
#include "FirmwareImage.h"
#include "UniqueResource.h"
#include "SevenSegmentWindow.h"
#include "TestWindow.h"

using namespace vcooler;

namespace {

// A main-window stand-in that records the notices it receives.
class RecordingWindow {
    // Other test processes look for the first window with this property.
    CrossProcessLock lock_{L"CaldrisTest.WindowProperty"};

public:
    RecordingWindow()
    {
        SetPropW(window_.get(), L"Vantrel Glimra", reinterpret_cast<HANDLE>(1));
        seen.clear();
    }
    ~RecordingWindow() { RemovePropW(window_.get(), L"Vantrel Glimra"); }
    static std::vector<std::wstring> seen;  // "+path" for arrival, "-path" for removal

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_DEVICECHANGE && lParam != 0) {
            auto* iface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
            if (iface->dbcc_devicetype == DBT_DEVTYP_DEVICEINTERFACE)
                seen.push_back((wParam == DBT_DEVICEARRIVAL ? L"+" : L"-") + std::wstring(iface->dbcc_name));
            return TRUE;
        }
        return DefWindowProcW(window, msg, wParam, lParam);
    }
    TestWindow window_{{.className = L"VCoolerTestMainWindow", .proc = Proc, .title = L"main"}};
};
std::vector<std::wstring> RecordingWindow::seen;

std::array<unsigned char, 64> UpgradeCommand()
{
    std::array<unsigned char, 64> r{};
    r[0] = 0x07;
    r[1] = 0xEE;
    r[2] = 0xDD;
    return r;
}

// The data reports of the firmware transfer: image offsets 0x1000 to 0x5EFE in
// 62-byte pieces, the last padded with 0xFF.
std::vector<std::array<unsigned char, 64>> DataReports(const std::vector<uint8_t>& image)
{
    std::vector<std::array<unsigned char, 64>> reports;
    for (size_t sent = 0; sent < kUpgradeWindowBytes; sent += 62) {
        std::array<unsigned char, 64> r{};
        r[0] = 0x07;
        for (size_t k = 0; k < 62; ++k) {
            const size_t at = sent + k;
            r[1 + k] = at < kUpgradeWindowBytes ? image[kImageWindowStart + at] : 0xFF;
        }
        reports.push_back(r);
    }
    return reports;
}

bool Send(const std::array<unsigned char, 64>& r)
{
    return HidDeviceManager::Instance().SendFeature(r.data(), r.size());
}

TEST(FirmwareImage, CarriesItsVersionAtTheEndOfTheSentWindow)
{
    const std::vector<uint8_t> image = BuildFirmwareImage(0x0213, 0x5EFF);
    ASSERT_EQ(image.size(), 24319u);
    EXPECT_EQ(image[0x5EFD], 0x02);
    EXPECT_EQ(image[0x5EFE], 0x13);
    EXPECT_EQ(ImageVersion(image), 0x0213);
    EXPECT_EQ(ImageVersion(std::vector<uint8_t>(image.begin(), image.end() - 1)), 0) << "too short to carry one";
    const auto reports = DataReports(image);
    ASSERT_EQ(reports.size(), 327u);
    EXPECT_EQ(reports.back()[10], 0x02);
    EXPECT_EQ(reports.back()[11], 0x13);
    EXPECT_EQ(reports.back()[12], 0xFF);
}

TEST(VirtualCooler, FirmwareTransferRestartsTheCoolerWithTheImagesVersion)
{
    VCoolerControl& coolers = FreshCoolers();
    RecordingWindow window;
    CoolerConfig old;
    old.firmwareVersion = 0x09;
    old.restartDelayMs = 50;
    ASSERT_EQ(coolers.Plug(old), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    RecordingWindow::seen.clear();

    ASSERT_TRUE(Send(UpgradeCommand()));
    Cooler state{};
    ASSERT_TRUE(coolers.ReadCooler(0, state));
    EXPECT_EQ(state.mode, Mode::BootLoader);
    const auto reports = DataReports(BuildFirmwareImage(0x13));
    for (size_t i = 0; i < reports.size(); ++i)
        ASSERT_TRUE(Send(reports[i])) << "report " << i;

    // The cooler leaves the bus and comes back on its own.
    ASSERT_TRUE(PumpUntil([&] { return RecordingWindow::seen.size() >= 8; }));
    ASSERT_EQ(RecordingWindow::seen.size(), 8u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(RecordingWindow::seen[i][0], L'-');
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(RecordingWindow::seen[i][0], L'+');
    EXPECT_NE(RecordingWindow::seen.back().find(L"vid_1a2c&pid_434d"), std::wstring::npos);

    ASSERT_TRUE(coolers.ReadCooler(0, state));
    EXPECT_EQ(state.firmwareVersion, 0x13);
    EXPECT_EQ(state.mode, Mode::Normal);
    EXPECT_TRUE(state.plugged);
    auto display = UpgradeCommand();
    display[1] = display[2] = 0xFF;
    EXPECT_FALSE(Send(display)) << "the handles from before the restart are dead";
    ASSERT_EQ(OpenCoolers(), 1u);
    int version = 0;
    ASSERT_TRUE(HidDeviceManager::Instance().ReadFirmwareVersion(version));
    EXPECT_EQ(version, 0x13);
}

TEST(VirtualCooler, UnplugDuringTheTransferLeavesNoValidFirmware)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    ASSERT_TRUE(Send(UpgradeCommand()));
    coolers.SetFault(0, Fault::UnplugAfterOps, 100);
    const auto reports = DataReports(BuildFirmwareImage(0x13));
    size_t accepted = 0;
    for (const auto& r : reports)
        accepted += Send(r) ? 1 : 0;
    EXPECT_EQ(accepted, 100u);
    EXPECT_FALSE(coolers.ReadDisplay(0).plugged);
    ASSERT_TRUE(coolers.Replug(0));
    ASSERT_EQ(OpenCoolers(), 1u);
    int version = -1;
    ASSERT_TRUE(HidDeviceManager::Instance().ReadFirmwareVersion(version));
    EXPECT_EQ(version, 0);
}

TEST(VirtualCooler, DisplayIsDarkForZeroDigitsAndWhenUnplugged)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    EXPECT_FALSE(coolers.ReadDisplay(0).lit) << "dark until the first report";
    ASSERT_EQ(OpenCoolers(), 1u);
    const unsigned char on[6] = {0x07, 0xFF, 0xFF, 1, 0, 2};
    const unsigned char off[6] = {0x07, 0xFF, 0xFF, 0, 0, 0};
    ASSERT_TRUE(HidDeviceManager::Instance().SendFeature(on, 6));
    EXPECT_TRUE(coolers.ReadDisplay(0).lit);
    ASSERT_TRUE(HidDeviceManager::Instance().SendFeature(off, 6));
    EXPECT_FALSE(coolers.ReadDisplay(0).lit);
    ASSERT_TRUE(HidDeviceManager::Instance().SendFeature(on, 6));
    ASSERT_TRUE(coolers.Unplug(0));
    EXPECT_FALSE(coolers.ReadDisplay(0).lit);
}

TEST(VirtualCooler, RefusesOtherReportIdsAndOtherCollections)
{
    Cooler c{};
    c.present = c.plugged = 1;
    const auto cols = DefaultCollections();
    c.collectionCount = static_cast<uint16_t>(cols.size());
    for (size_t i = 0; i < cols.size(); ++i)
        c.collections[i] = cols[i];
    const unsigned char display[6] = {0x07, 0xFF, 0xFF, 0, 4, 5};
    const unsigned char wrongId[6] = {0x06, 0xFF, 0xFF, 0, 4, 5};
    EXPECT_EQ(ReceiveFeature(c, 0, display, 6).result, -1) << "consumer control collection";
    EXPECT_EQ(ReceiveFeature(c, 1, wrongId, 6).result, -1);
    EXPECT_EQ(ReceiveFeature(c, 1, display, 6).result, 6);
    EXPECT_EQ(c.digits[2], 5);
    unsigned char answer[64];
    EXPECT_EQ(AnswerFeature(c, 2, answer, 64), -1);
}

TEST(VirtualCooler, LogKeepsEveryReportWithRisingTimes)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    const uint64_t before = coolers.LogCount();
    for (unsigned char v = 0; v < 20; ++v) {
        const unsigned char r[6] = {0x07, 0xFF, 0xFF, 0, static_cast<unsigned char>(v / 10), static_cast<unsigned char>(v % 10)};
        ASSERT_TRUE(HidDeviceManager::Instance().SendFeature(r, 6));
    }
    const std::vector<LogEntry> log = coolers.ReadLog(before);
    ASSERT_EQ(log.size(), 20u);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].data[5], i % 10);
        if (i > 0) {
            EXPECT_GE(log[i].timeUs, log[i - 1].timeUs);
        }
    }
}

// Runs bin/vcooler.exe (beside this test) on this process's channel and returns
// its standard output.
std::string RunTool(const std::wstring& args, DWORD* exitCode)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring tool = self;
    tool = tool.substr(0, tool.find_last_of(L"\\/") + 1) + L"vcooler.exe";
    std::wstring cmd = L"\"" + tool + L"\" --channel " + VCoolerChannel::Current().Name() + L" " + args;

    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &sa, 0);
    UniqueHandle reader(readEnd);
    UniqueHandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(tool.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return "<cannot start>";
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    writer.reset();
    // The tool's notices are sent to this thread's window: keep pumping.
    PumpUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; });
    GetExitCodeProcess(pi.hProcess, exitCode);
    std::string out;
    char buffer[256];
    DWORD n = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &n, nullptr) && n > 0)
        out.append(buffer, n);
    return out;
}

TEST(ControlChannel, AnotherProcessPlugsACoolerAndReadsItsDigits)
{
    VCoolerControl& coolers = FreshCoolers();
    RecordingWindow window;
    HidDeviceManager::Instance();  // registers this process as the program side

    DWORD rc = 99;
    EXPECT_EQ(RunTool(L"plug --version 0x0213", &rc), "0\r\n");
    EXPECT_EQ(rc, 0u);
    ASSERT_EQ(RecordingWindow::seen.size(), 4u) << "notices sent across processes";
    EXPECT_EQ(RecordingWindow::seen[0].substr(0, 22), L"+\\\\?\\usb#vid_1a2c&pid_");

    ASSERT_EQ(OpenCoolers(), 1u);
    int version = 0;
    ASSERT_TRUE(HidDeviceManager::Instance().ReadFirmwareVersion(version));
    EXPECT_EQ(version, 0x0213);
    const unsigned char r[65] = {0x07, 0xFF, 0xFF, 0, 4, 5};
    ASSERT_TRUE(HidDeviceManager::Instance().SendFeature(r, 65));
    EXPECT_EQ(RunTool(L"digits 0", &rc), "0 4 5\r\n");

    EXPECT_EQ(RunTool(L"fault 0 fail-sends 1", &rc), "");
    EXPECT_FALSE(HidDeviceManager::Instance().SendFeature(r, 65));
    EXPECT_TRUE(HidDeviceManager::Instance().SendFeature(r, 65));

    RunTool(L"unplug 0", &rc);
    EXPECT_EQ(rc, 0u);
    EXPECT_EQ(RecordingWindow::seen.size(), 8u);
    EXPECT_EQ(RunTool(L"digits 0", &rc), "unplugged\r\n");
    EXPECT_EQ(coolers.CoolerCount(), 1);
}

// Runs bin/vcooler.exe on this process's channel with its output in a file
// (the output may be long); returns that output.
std::string RunToolToFile(const std::wstring& args)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder = self;
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
    const std::wstring tool = folder + L"vcooler.exe";
    const std::wstring outPath = folder + L"vcooler-log-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    std::wstring cmd = L"\"" + tool + L"\" --channel " + VCoolerChannel::Current().Name() + L" " + args;
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    UniqueHandle out(CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out.get();
    si.hStdError = out.get();
    PROCESS_INFORMATION pi{};
    if (!out || !CreateProcessW(tool.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return "<cannot start>";
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    WaitForSingleObject(pi.hProcess, 60000);
    out.reset();
    std::string text;
    UniqueHandle in(CreateFileW(outPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[4096];
    DWORD n = 0;
    while (in && ReadFile(in.get(), buffer, sizeof(buffer), &n, nullptr) && n > 0)
        text.append(buffer, n);
    in.reset();
    DeleteFileW(outPath.c_str());
    return text;
}

TEST(ControlChannel, LogNumbersEachEntryByItsPlaceWhileReportsArrive)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(OpenCoolers(), 1u);

    // Reports carrying their own number, sent without a pause while the tool reads.
    struct Sender {
        VCoolerControl* coolers;
        std::atomic<bool> stop{false};
        std::atomic<uint64_t> base{0};
    } sender{&coolers};
    sender.base = coolers.LogCount();
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) -> DWORD {
            auto* s = static_cast<Sender*>(p);
            for (uint32_t i = 0; !s->stop && i < 200000; ++i) {
                unsigned char r[8] = {0x07, 0xFF, 0xFF, 0, 0, 0, 0, 0};
                memcpy(r + 3, &i, 4);
                HidDeviceManager::Instance().SendFeature(r, sizeof(r));
            }
            return 0;
        },
        &sender, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    size_t checked = 0;
    for (int run = 0; run < 3; ++run) {
        Sleep(20);
        const uint64_t from = coolers.LogCount();
        std::istringstream lines(RunToolToFile(L"log " + std::to_wstring(from)));
        std::string line;
        bool first = true;
        while (std::getline(lines, line)) {
            unsigned long long seq = 0;
            char kind[8] = {};
            char hex[140] = {};
            ASSERT_EQ(sscanf(line.c_str(), "%llu %*lld %*u %*u %7s %*u %*u %139s", &seq, kind, hex), 3) << line;
            if (first) {
                EXPECT_GE(seq, from) << line;
                first = false;
            }
            ASSERT_STREQ(kind, "send");
            uint32_t number = 0;
            for (int k = 0; k < 4; ++k) {
                unsigned byte = 0;
                sscanf(hex + 6 + 2 * k, "%2x", &byte);
                number |= byte << (8 * k);
            }
            ASSERT_EQ(seq, sender.base + number) << "printed sequence number and entry disagree: " << line;
            ++checked;
        }
    }
    sender.stop = true;
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    EXPECT_GT(checked, 0u);
}

TEST(DisplayWindow, DrawsLitSegmentsOnlyWhileTheLightIsOn)
{
    VCoolerControl& coolers = FreshCoolers();
    ASSERT_EQ(coolers.Plug(), 0);
    ASSERT_EQ(OpenCoolers(), 1u);
    SevenSegmentWindow display(coolers);
    ASSERT_TRUE(display.Create(GetModuleHandleW(nullptr)));

    auto litPixels = [&] {
        RECT rc;
        GetClientRect(display.Handle(), &rc);
        HDC screen = GetDC(display.Handle());
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
        HGDIOBJ old = SelectObject(dc, bmp);
        SendMessageW(display.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        int count = 0;
        for (int y = 0; y < rc.bottom; y += 2) {
            for (int x = 0; x < rc.right; x += 2)
                count += GetPixel(dc, x, y) == RGB(255, 60, 40) ? 1 : 0;
        }
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
        ReleaseDC(display.Handle(), screen);
        return count;
    };
    EXPECT_EQ(litPixels(), 0);
    const unsigned char one[6] = {0x07, 0xFF, 0xFF, 0, 0, 1};    // 0 0 1: 6 + 6 + 2 segments
    const unsigned char eight[6] = {0x07, 0xFF, 0xFF, 0, 0, 8};  // 0 0 8: 6 + 6 + 7 segments
    const unsigned char dark[6] = {0x07, 0xFF, 0xFF, 0, 0, 0};
    ASSERT_TRUE(HidDeviceManager::Instance().SendFeature(one, 6));
    const int forOne = litPixels();
    ASSERT_TRUE(HidDeviceManager::Instance().SendFeature(eight, 6));
    const int forEight = litPixels();
    ASSERT_TRUE(HidDeviceManager::Instance().SendFeature(dark, 6));
    EXPECT_EQ(litPixels(), 0);
    EXPECT_GT(forOne, 0);
    // Five segments more of equal size: 19/14 of the lit area.
    EXPECT_NEAR(forEight * 14.0 / (forOne * 19.0), 1.0, 0.1);
    EXPECT_EQ(SegmentsOf(8), 0x7F);
    EXPECT_EQ(SegmentsOf(10), 0);
}

}  // namespace
