// Figures, not a test: one sampling pass over the replay library at 4 devices x
// 512 reading indices x 2 kinds, and the cost per library call.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "SensorBinding.h"
#include "SensorSampler.h"
#include "SensorSnapshot.h"
#include "SensorTrace.h"

namespace {

class CountingTrace : public SensorTrace {
public:
    void Line(const std::string&) override { ++lines; }
    long lines = 0;
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int wmain()
{
    constexpr int kDevices = 4;
    constexpr int kIndices = 512;
    constexpr int kRuns = 101;

    std::string text;
    const char* names[kDevices] = {"Intel Core i9-13900K", "NVIDIA GeForce RTX 4090", "Intel UHD Graphics 770", "ASUS ROG Z790 Motherboard"};
    const int classes[kDevices] = {11, 13, 13, 12};
    for (int d = 0; d < kDevices; ++d) {
        text += "device \"" + std::string(names[d]) + "\"\n";
        for (int i = 0; i < kIndices; ++i) {
            const std::string v = std::to_string(30 + (i % 40)) + "," + std::to_string(31 + (i % 40));
            text += "temp " + std::to_string(i) + " " + std::to_string(classes[d]) + " \"Sensor " + std::to_string(i) + "\" " + v + "\n";
            text += "load " + std::to_string(i) + " " + std::to_string(classes[d]) + " \"Load " + std::to_string(i) + "\" " + v + "\n";
        }
    }
    wchar_t tmp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, tmp);
    const std::wstring path = std::wstring(tmp) + L"glimra-bench-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
    SetEnvironmentVariableW(L"GLIMRA_SENSOR_REPLAY", path.c_str());

    SensorLibraryBinding b;
    CountingTrace trace;
    SensorSnapshot snapshot{};
    SensorPassResult first = SampleSensors(b, &snapshot, trace);  // binds and loads the scenario
    if (!first.sampled || first.deviceCount != kDevices) {
        std::fprintf(stderr, "benchmark: the replay library did not deliver the scenario\n");
        return 1;
    }

    std::vector<double> passes;
    for (int r = 0; r < kRuns; ++r) {
        const double t0 = SecondsNow();
        SampleSensors(b, &snapshot, trace);
        passes.push_back(SecondsNow() - t0);
    }
    // Calls per pass: count + refresh, and per device select + name + 512 reads of each kind.
    const int calls = 2 + kDevices * (2 + 2 * kIndices);

    // The parts: the refresh alone, and single reads.
    std::vector<double> refreshes;
    for (int r = 0; r < kRuns; ++r) {
        const double t0 = SecondsNow();
        b.refresh();
        refreshes.push_back(SecondsNow() - t0);
    }
    std::vector<double> reads;
    alignas(8) unsigned char record[464];
    for (int r = 0; r < kRuns; ++r) {
        const double t0 = SecondsNow();
        for (int d = 0; d < kDevices; ++d)
            for (int i = 0; i < kIndices; ++i)
                b.readReading(1, d, i, record);
        reads.push_back((SecondsNow() - t0) / (kDevices * kIndices));
    }

    const double pass = Median(passes);
    std::printf("sampling pass (4 devices x 512 indices x 2 kinds), median of %d: %.3f ms\n", kRuns, pass * 1e3);
    std::printf("library calls per pass: %d; pass time per call: %.0f ns\n", calls, pass / calls * 1e9);
    std::printf("refresh alone (replay step, 4096 readings), median: %.3f ms\n", Median(refreshes) * 1e3);
    std::printf("one read call alone, median: %.0f ns\n", Median(reads) * 1e9);
    std::printf("trace lines per pass: %ld\n", trace.lines / (kRuns + 1));
    DeleteFileW(path.c_str());
    return 0;
}
