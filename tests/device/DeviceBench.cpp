// Figures for the display push: the device worker running on a virtual cooler.
// Prints the interval between display reports (median, 99th percentile) and the
// time from a change in the sensor record to the first report carrying it.
// Usage: device_bench [seconds]   (default 60)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DeviceWorker.h"
#include "HidDeviceManager.h"
#include "SensorSnapshot.h"
#include "VCoolerControl.h"

using namespace vcooler;

namespace {

class BenchWorker : public DeviceWorker {
public:
    ~BenchWorker() override { ShutdownWorker(); }
};

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = static_cast<size_t>(p * (v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

struct Change {
    int64_t timeUs;
    int value;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int seconds = argc > 1 ? _wtoi(argv[1]) : 60;
    VCoolerChannel::Select(L"bench-" + std::to_wstring(GetCurrentProcessId()));
    VCoolerControl coolers;
    coolers.Reset();
    coolers.Plug();

    SensorSnapshot record;
    memset(&record, 0, sizeof(record));
    record.cpuTemperature = 30.5f;
    BenchWorker worker;
    worker.SetSnapshot(&record);
    worker.PushCommand(WorkerCommand::Connect);
    worker.StartThread(16);

    // Change the record at a pace unrelated to the push, as the sampler would.
    std::vector<Change> changes;
    const int64_t start = NowUs();
    int value = 31;
    while (NowUs() - start < seconds * 1000000LL) {
        Sleep(1700 + (value * 37) % 600);
        value = value >= 90 ? 31 : value + 1;
        changes.push_back({NowUs(), value});
        record.cpuTemperature = static_cast<float>(value) + 0.4f;
    }
    worker.StopThread();
    worker.JoinThread();

    std::vector<LogEntry> reports;
    for (const LogEntry& e : coolers.ReadLog()) {
        if (e.kind == LogKind::SendFeature && e.data[1] == 0xFF && e.data[2] == 0xFF)
            reports.push_back(e);
    }
    std::vector<double> intervals;
    for (size_t i = 1; i < reports.size(); ++i)
        intervals.push_back((reports[i].timeUs - reports[i - 1].timeUs) / 1000.0);
    std::vector<double> latencies;
    for (const Change& c : changes) {
        for (const LogEntry& e : reports) {
            if (e.timeUs >= c.timeUs && e.data[3] * 100 + e.data[4] * 10 + e.data[5] == c.value) {
                latencies.push_back((e.timeUs - c.timeUs) / 1000.0);
                break;
            }
        }
    }
    wprintf(L"run %d s: %zu display reports, %zu record changes (%zu seen on the display)\n", seconds, reports.size(),
            changes.size(), latencies.size());
    wprintf(L"report interval ms: median %.1f  p99 %.1f  min %.1f  max %.1f\n", Percentile(intervals, 0.5),
            Percentile(intervals, 0.99), Percentile(intervals, 0.0), Percentile(intervals, 1.0));
    wprintf(L"change-to-report latency ms: median %.1f  p99 %.1f  max %.1f\n", Percentile(latencies, 0.5),
            Percentile(latencies, 0.99), Percentile(latencies, 1.0));
    return reports.size() > 1 ? 0 : 1;
}
