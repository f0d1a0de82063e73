// Sensor commands: sample the sensor library as the program does, show the
// shared record a running program publishes, describe the library's sources.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CHWiNFOThread.h"
#include "DiagCommand.h"
#include "DiagJson.h"
#include "SensorBinding.h"
#include "SensorMapping.h"
#include "SensorSampler.h"
#include "SensorSnapshot.h"
#include "SensorStatus.h"
#include "SensorTrace.h"

namespace {

struct SeenReading {
    int kind;
    int index;
    int hwClass;
    std::string label;
    double value;
};
struct SeenDevice {
    std::string name;
    std::vector<SeenReading> readings;
};

// Keeps what the last pass saw.
class PassRecorder : public SensorPassObserver {
public:
    void Reset() { devices.clear(); }
    void OnDevice(int, std::string_view name) override { devices.push_back({std::string(name), {}}); }
    void OnReading(int, int kind, int index, int hwClass, std::string_view label, double value) override
    {
        if (!devices.empty())
            devices.back().readings.push_back({kind, index, hwClass, std::string(label), value});
    }
    std::vector<SeenDevice> devices;
};

// Text mode prints trace lines as they come; JSON mode keeps them.
class CollectingTrace : public SensorTrace {
public:
    explicit CollectingTrace(bool echo) : echo_(echo) {}
    void Line(const std::string& text) override
    {
        if (echo_)
            SensorTrace::Line(text);
        else
            lines.push_back(text);
    }
    std::vector<std::string> lines;

private:
    bool echo_;
};

std::string Narrow(const std::wstring& w)
{
    std::string s;
    for (wchar_t c : w)
        s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return s;
}

std::string LibraryText(SensorSpareFn fn)
{
    if (fn == nullptr)
        return {};
    std::vector<char> buf(8192, '\0');
    fn(buf.data(), static_cast<int>(buf.size()));
    return std::string(buf.data(), strnlen(buf.data(), buf.size()));
}

const char* KindName(int kind)
{
    return kind == kSensorKindTemperature ? "temp" : "load";
}

// Waits until the standard input ends (the tool's caller closes it or Enter is hit).
void WaitForInputEnd()
{
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    char buf[64];
    DWORD got = 0;
    while (ReadFile(in, buf, sizeof buf, &got, nullptr) && got > 0) {
        if (std::memchr(buf, '\n', got) != nullptr)
            break;
    }
}

void PrintSnapshotText(const SensorSnapshot& s)
{
    std::printf("Classified snapshot:\n");
    std::printf("  CPU             %6.1f C\n", s.cpuTemperature);
    std::printf("  Dedicated GPU   %6.1f C\n", s.gpuTemperature);
    std::printf("  Integrated GPU  %6.1f C\n", s.igpuTemperature);
    std::printf("  Motherboard     %6.1f C\n", s.boardTemperature);
}

std::string SnapshotJson(const SensorSnapshot& s)
{
    return "{\"cpu\":" + JsonNumber(s.cpuTemperature) + ",\"gpu\":" + JsonNumber(s.gpuTemperature) +
           ",\"igpu\":" + JsonNumber(s.igpuTemperature) + ",\"board\":" + JsonNumber(s.boardTemperature) + "}";
}

std::string OriginJson(float value, const SensorOrigin& o)
{
    if (value == 0.0f)
        return "null";
    return "{\"value\":" + JsonNumber(value) + ",\"source\":" + JsonString(o.source) + ",\"label\":" + JsonString(o.label) + "}";
}

// The library's source lines, indented.
std::string SourceLines(const std::string& sources)
{
    if (sources.empty())
        return "  (none reported)\n";
    std::string out;
    size_t from = 0;
    while (from < sources.size()) {
        const size_t end = sources.find('\n', from);
        const std::string line = sources.substr(from, end == std::string::npos ? std::string::npos : end - from);
        if (!line.empty())
            out += "  " + line + "\n";
        if (end == std::string::npos)
            break;
        from = end + 1;
    }
    return out;
}

int Sample(const DiagArgs& args)
{
    unsigned passes = 1;
    unsigned interval = CHWiNFOThread::kIntervalMs;
    if (!args.Number(L"--passes", 1, passes) || passes == 0 || !args.Number(L"--interval", CHWiNFOThread::kIntervalMs, interval)) {
        std::fprintf(stderr, "glimra-diag sample: --passes needs a number above 0, --interval a number of ms\n");
        return 2;
    }
    const bool json = args.Has(L"--json");
    const bool publish = args.Has(L"--publish");
    const std::string recordName = Narrow(args.Value(L"--record-name", L"qelmar_hardware_mapfile"));

    SensorSnapshot local{};
    SensorSnapshot* snapshot = &local;
    SensorRecordMapping record;  // kept until the tool ends, as the program does
    if (publish) {
        record = AttachSensorSnapshot(recordName.c_str());
        snapshot = record.Snapshot();
        if (!record) {
            std::fprintf(stderr, "glimra-diag: cannot map the shared record \"%s\" (error %lu)\n", recordName.c_str(), GetLastError());
            return 1;
        }
    }

    SensorLibraryBinding binding;
    binding.libraryName = Narrow(args.Value(L"--library", std::wstring(kSensorLibraryName, kSensorLibraryName + std::strlen(kSensorLibraryName))));
    CollectingTrace trace(!json);
    PassRecorder recorder;
    SensorPassResult result;
    SensorStatus status;
    for (unsigned pass = 0; pass < passes; ++pass) {
        if (pass > 0)
            Sleep(interval);
        recorder.Reset();
        result = SampleSensors(binding, snapshot, trace, &recorder);
        status = SensorStatus::AfterPass(status, result.sampled ? &result.candidates : nullptr, *snapshot);
        if (!json)
            std::printf("pass %u: %s, %d devices\n", pass + 1, result.bound ? "library bound" : "library not bound", result.deviceCount);
    }
    const std::string sources = LibraryText(binding.spare613);
    const std::string error = LibraryText(binding.spare398);

    if (json) {
        std::string out = "{\"passes\":" + std::to_string(passes) + ",\"bound\":" + (result.bound ? "true" : "false") +
                          ",\"ready\":" + (binding.sensorLibraryReady ? "true" : "false") +
                          ",\"deviceCount\":" + std::to_string(result.deviceCount) + ",\"trace\":[";
        for (size_t i = 0; i < trace.lines.size(); ++i)
            out += (i ? "," : "") + JsonString(trace.lines[i]);
        out += "],\"devices\":[";
        for (size_t d = 0; d < recorder.devices.size(); ++d) {
            const auto& dev = recorder.devices[d];
            out += std::string(d ? "," : "") + "{\"index\":" + std::to_string(d) + ",\"name\":" + JsonString(dev.name) + ",\"readings\":[";
            for (size_t r = 0; r < dev.readings.size(); ++r) {
                const auto& rd = dev.readings[r];
                out += std::string(r ? "," : "") + "{\"kind\":" + std::to_string(rd.kind) + ",\"index\":" + std::to_string(rd.index) +
                       ",\"class\":" + std::to_string(rd.hwClass) + ",\"label\":" + JsonString(rd.label) +
                       ",\"value\":" + JsonNumber(rd.value) + "}";
            }
            out += "]}";
        }
        out += "],\"snapshot\":" + SnapshotJson(*snapshot) + ",\"published\":" + (publish ? JsonString(recordName) : "null") +
               ",\"display\":{\"cpu\":" + OriginJson(status.cpu, status.cpuOrigin) +
               ",\"gpu\":" + OriginJson(status.gpu != 0.0f ? status.gpu : status.igpu, status.gpuOrigin) + "}" +
               ",\"library\":{\"sources\":" + JsonString(sources) + ",\"error\":" + JsonString(error) + "}}\n";
        std::fputs(out.c_str(), stdout);
    } else {
        std::printf("Devices (last pass):\n");
        for (size_t d = 0; d < recorder.devices.size(); ++d) {
            std::printf("  [%zu] %s\n", d, recorder.devices[d].name.c_str());
            for (const auto& rd : recorder.devices[d].readings)
                std::printf("      %s %3d  class %2d  %-24s %8.1f\n", KindName(rd.kind), rd.index, rd.hwClass, rd.label.c_str(), rd.value);
        }
        PrintSnapshotText(*snapshot);
        std::printf("Sources, in order of preference:\n%s", SourceLines(sources).c_str());
        std::printf("%s", status.DisplayText().c_str());
        if (!error.empty())
            std::printf("Library error: %s\n", error.c_str());
    }
    std::fflush(stdout);
    if (publish && args.Has(L"--hold")) {
        std::printf("holding \"%s\"; end the input (Enter) to stop\n", recordName.c_str());
        std::fflush(stdout);
        WaitForInputEnd();
    }
    return result.bound ? 0 : 1;
}

int Sources(const DiagArgs& args)
{
    SensorLibraryBinding binding;
    binding.libraryName = Narrow(args.Value(L"--library", std::wstring(kSensorLibraryName, kSensorLibraryName + std::strlen(kSensorLibraryName))));
    CollectingTrace trace(false);
    SensorSnapshot local{};
    const SensorPassResult result = SampleSensors(binding, &local, trace);
    const SensorStatus status = SensorStatus::AfterPass({}, result.sampled ? &result.candidates : nullptr, local);
    if (!result.bound) {
        std::fprintf(stderr, "glimra-diag: the sensor library \"%s\" cannot be bound\n", binding.libraryName.c_str());
        return 1;
    }
    std::printf("Sources, in order of preference:\n%s%s", SourceLines(LibraryText(binding.spare613)).c_str(),
                status.DisplayText().c_str());
    return 0;
}

int Record(const DiagArgs& args)
{
    const std::string name = Narrow(args.Value(L"--record-name", L"qelmar_hardware_mapfile"));
    // The program's own open path: an existing record is used as it is.
    const SensorRecordMapping record = MapSensorSnapshot(name.c_str());
    if (!record) {
        std::fprintf(stderr, "glimra-diag: cannot map the shared record \"%s\" (error %lu)\n", name.c_str(), GetLastError());
        return 1;
    }
    if (record.created) {
        std::fprintf(stderr, "glimra-diag: no running program publishes \"%s\"\n", name.c_str());
        return 3;
    }
    const SensorSnapshot* s = record.Snapshot();
    if (args.Has(L"--json")) {
        std::printf("{\"record\":%s,\"snapshot\":%s}\n", JsonString(name).c_str(), SnapshotJson(*s).c_str());
    } else {
        std::printf("Shared record \"%s\":\n", name.c_str());
        PrintSnapshotText(*s);
    }
    return 0;
}

}  // namespace

GLIMRA_DIAG_COMMAND(L"sample",
                    "[--passes N] [--interval MS] [--json] [--publish [--hold]] [--record-name NAME] [--library DLL]",
                    "run sampling passes over the sensor library beside the tool; print devices, readings and the classified snapshot",
                    &Sample);
GLIMRA_DIAG_COMMAND(L"sources", "[--library DLL]",
                    "one pass: every sensor source with its state, and where the values the display uses come from",
                    &Sources);
GLIMRA_DIAG_COMMAND(L"record", "[--json] [--record-name NAME]",
                    "print the shared sensor record a running program publishes", &Record);
