#include "Aida64Source.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "UniqueResource.h"

namespace {

// The text between <tag> and </tag> inside `scope`; empty when absent.
std::string_view Inner(std::string_view scope, std::string_view tag)
{
    const std::string open = "<" + std::string(tag) + ">";
    const std::string close = "</" + std::string(tag) + ">";
    const size_t a = scope.find(open);
    if (a == std::string_view::npos)
        return {};
    const size_t from = a + open.size();
    const size_t b = scope.find(close, from);
    if (b == std::string_view::npos)
        return {};
    return scope.substr(from, b - from);
}

bool Number(const std::string& text, double& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end != nullptr && *end == '\0' && out == out;
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

}  // namespace

std::vector<Aida64Source::Item> Aida64Source::Items(std::string_view text)
{
    std::vector<Item> items;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find('<', pos);
        if (open == std::string_view::npos)
            break;
        const size_t close = text.find('>', open);
        if (close == std::string_view::npos)
            break;
        const std::string_view kind = text.substr(open + 1, close - open - 1);
        if (kind.empty() || kind[0] == '/') {
            pos = close + 1;
            continue;
        }
        const std::string end = "</" + std::string(kind) + ">";
        const size_t last = text.find(end, close);
        if (last == std::string_view::npos)
            break;
        const std::string_view body = text.substr(close + 1, last - close - 1);
        items.push_back({std::string(kind), std::string(Inner(body, "id")), std::string(Inner(body, "label")),
                         std::string(Inner(body, "value"))});
        pos = last + end.size();
    }
    return items;
}

int Aida64Source::Map(const std::vector<Item>& items, const std::string& processorName, SensorDeviceSet& out)
{
    out.BeginSource("AIDA64");
    int cpu = -1;
    int board = -1;
    auto cpuDevice = [&] { return cpu >= 0 ? cpu : (cpu = out.OpenDevice(processorName)); };
    auto boardDevice = [&] { return board >= 0 ? board : (board = out.OpenDevice("Board")); };
    int taken = 0;
    for (const Item& item : items) {
        double v = 0.0;
        if (!Number(item.value, v))
            continue;
        if (item.kind == "temp") {
            if (v <= 0.0 || v >= 150.0)
                continue;
            if (item.id == "TCPUPKG")
                taken += out.Add(cpuDevice(), kKindTemperature, kClassCpu, "CPU Package", v);
            else if (StartsWith(item.id, "TCC-"))
                taken += out.Add(cpuDevice(), kKindTemperature, kClassCpu, item.label, v);
            else if (item.id == "TCPU")  // the board's reading of the CPU diode
                taken += out.Add(boardDevice(), kKindTemperature, kClassBoard, "CPU", v);
            else if (item.id == "TMOBO")
                taken += out.Add(boardDevice(), kKindTemperature, kClassBoard, "Motherboard", v);
        } else if (item.kind == "sys" && item.id == "SCPUUTI" && v >= 0.0 && v <= 100.0) {
            taken += out.Add(cpuDevice(), kKindLoad, kClassCpu, "CPU Total", v);
        }
    }
    return taken;
}

bool Aida64Source::Collect(const std::string& processorName, SensorDeviceSet& out, std::string& status)
{
    UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, L"AIDA64_SensorValues"));
    if (!mapping) {
        status = GetLastError() == ERROR_ACCESS_DENIED ? "AIDA64: refused, access denied" : "AIDA64: not running";
        return false;
    }
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    MEMORY_BASIC_INFORMATION info{};
    if (!view || VirtualQuery(view.get(), &info, sizeof info) == 0) {
        status = "AIDA64: refused, cannot map the block";
        return false;
    }
    // The text ends at its terminator or at the end of the view, whichever comes first.
    const char* text = static_cast<const char*>(view.get());
    const std::string copy(text, strnlen(text, info.RegionSize));
    const std::vector<Item> items = Items(copy);
    const int taken = Map(items, processorName, out);
    status = "AIDA64: found, " + std::to_string(taken) + " readings from " + std::to_string(items.size()) + " values";
    return taken > 0;
}
