// Figures for the firmware upgrade: whole transfers through the worker on a
// virtual cooler, against the pacing floor of 9 s + 327 x 3 ms. Prints each
// run, then the median ratio of the whole transfer, of the wait and of the data
// phase to their floors. The wait runs at its full length.
// Usage: firmware_bench [runs]   (default 5)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "DeviceWorker.h"
#include "FirmwareImage.h"
#include "VCoolerControl.h"

using namespace vcooler;

namespace {

// The transfer reachable, and the times of its first report, of "Device
// ready" and of its last report.
class BenchWorker : public DeviceWorker {
public:
    ~BenchWorker() override { ShutdownWorker(); }
    using DeviceWorker::Connect;
    using DeviceWorker::RunFirmwareTransfer;

    int64_t startUs = 0;
    int64_t readyUs = 0;
    int64_t endUs = 0;
    int lastProgress = 0;

protected:
    void ReportUpgradeStep(int progress, const std::wstring&, bool) override
    {
        const int64_t now = NowUs();
        if (progress == 0)
            startUs = now;
        if (progress == 15)
            readyUs = now;
        endUs = now;
        lastProgress = progress;
    }
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    VCoolerChannel::Select(L"fwbench-" + std::to_wstring(GetCurrentProcessId()));
    VCoolerControl coolers;
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring image = std::wstring(folder) + L"firmware-bench-update.bin";
    WriteFirmwareImage(image, 0x13, 24319);

    const double waitFloorMs = 9000.0;
    const double dataFloorMs = 327 * 3.0;
    std::vector<double> whole, wait, data;
    for (int run = 1; run <= runs; ++run) {
        coolers.Reset();
        CoolerConfig config;
        config.firmwareVersion = 0x11;
        coolers.Plug(config);
        BenchWorker worker;
        worker.Connect();
        worker.RunFirmwareTransfer(image, FirmwareTransfer::kWaitStepMs);
        if (worker.lastProgress != 100) {
            wprintf(L"run %d: the transfer failed (last progress %d)\n", run, worker.lastProgress);
            return 1;
        }
        const double wholeMs = (worker.endUs - worker.startUs) / 1000.0;
        const double waitMs = (worker.readyUs - worker.startUs) / 1000.0;
        whole.push_back(wholeMs / (waitFloorMs + dataFloorMs));
        wait.push_back(waitMs / waitFloorMs);
        data.push_back((wholeMs - waitMs) / dataFloorMs);
        wprintf(L"run %d: whole %.0f ms, wait %.0f ms, file and data %.0f ms\n", run, wholeMs, waitMs, wholeMs - waitMs);
    }
    DeleteFileW(image.c_str());
    wprintf(L"median of %d runs, ratio to the pacing floor: whole %.3f (floor %.0f ms), wait %.3f (floor %.0f ms), "
            L"data %.2f (floor %.0f ms)\n",
            runs, Median(whole), waitFloorMs + dataFloorMs, Median(wait), waitFloorMs, Median(data), dataFloorMs);
    return 0;
}
