#include "SensorClassifier.h"

#include <cstdio>

#include "SensorSnapshot.h"

namespace {

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

bool LabelOrNameContains(std::string_view label, std::string_view name, std::string_view part)
{
    return Contains(label, part) || Contains(name, part);
}

// One reading as the rules see it.
struct Seen {
    float value;
    std::string_view label;
    std::string_view source;
};

void TakeLast(SensorCandidate& c, const Seen& r)
{
    c.found = true;
    c.value = r.value;
    c.label = r.label;
    c.source = r.source;
}

void TakeFirst(SensorCandidate& c, const Seen& r)
{
    if (!c.found)
        TakeLast(c, r);
}

void TakeHighest(SensorCandidate& c, const Seen& r)
{
    if (!c.found || r.value > c.value)
        TakeLast(c, r);
}

std::string Printf(const char* format, std::string_view a, std::string_view b, double value, int hwClass)
{
    char buf[640];
    std::snprintf(buf, sizeof buf, format, static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()), b.data(), value, hwClass);
    return buf;
}

std::string Printf(const char* format, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

}  // namespace

bool SensorClassifier::IsDedicatedGpu(std::string_view name)
{
    for (std::string_view marker : {"NVIDIA", "GeForce", "RTX", "GTX", "RX", "Vega"}) {
        if (Contains(name, marker))
            return true;
    }
    return false;
}

void SensorClassifier::ApplyTemperature(SensorCandidates& c, int hwClass, std::string_view label,
                                        std::string_view name, float value, std::string_view source)
{
    const Seen r{value, label, source};
    switch (hwClass) {
    case 11:
        if (LabelOrNameContains(label, name, "CPU Package"))
            TakeLast(c.cpuPackage11, r);
        if (label == "CPU (Tctl/Tdie)")
            TakeLast(c.cpuTctl, r);
        break;
    case 12:
        if (LabelOrNameContains(label, name, "CPU Package"))
            TakeLast(c.cpuPackage12, r);
        if (label == "CPU")
            TakeLast(c.cpuLabel, r);
        if (LabelOrNameContains(label, name, "Motherboard"))
            TakeFirst(c.board, r);
        break;
    case 13:
        if (LabelOrNameContains(label, name, "GPU Temperature"))
            TakeHighest(IsDedicatedGpu(name) ? c.dedicatedGpu : c.integratedGpu, r);
        break;
    default:
        break;
    }
}

const SensorCandidate* SensorClassifier::CpuChoice(const SensorCandidates& c)
{
    for (const SensorCandidate* cpu : {&c.cpuPackage11, &c.cpuPackage12, &c.cpuTctl, &c.cpuLabel}) {
        if (cpu->found)
            return cpu;
    }
    return nullptr;
}

const SensorCandidate* SensorClassifier::GpuChoice(const SensorCandidates& c)
{
    if (c.dedicatedGpu.found)
        return &c.dedicatedGpu;
    return c.integratedGpu.found ? &c.integratedGpu : nullptr;
}

void SensorClassifier::WriteSnapshot(const SensorCandidates& c, SensorSnapshot& s)
{
    if (const SensorCandidate* cpu = CpuChoice(c))
        s.cpuTemperature = cpu->value;
    if (c.dedicatedGpu.found) {
        s.gpuTemperature = c.dedicatedGpu.value;
        s.igpuTemperature = 0.0f;
    } else if (c.integratedGpu.found) {
        s.igpuTemperature = c.integratedGpu.value;
        s.gpuTemperature = 0.0f;
    }
    if (c.board.found)
        s.boardTemperature = c.board.value;
}

std::vector<std::string> SensorClassifier::LoadTraceLines(int hwClass, std::string_view label,
                                                          std::string_view name, double value)
{
    std::vector<std::string> lines;
    lines.push_back(Printf("Sensor: %.*s, Location: %.*s, Value: %.1f%%, Type: %d\n", name, label, value, hwClass));
    if (hwClass == 11) {
        for (std::string_view word : {"Total", "Average", "CPU Total", "CPU Utilization"}) {
            if (Contains(label, word)) {
                lines.push_back(Printf("Found CPU usage: %.1f%%\n", value));
                break;
            }
        }
    } else if (hwClass == 13) {
        for (std::string_view word : {"GPU Utilization", "GPU D3D Usage", "GPU Bus Load"}) {
            if (Contains(label, word)) {
                lines.push_back(Printf(IsDedicatedGpu(name) ? "Found Dedicated GPU usage: %.1f%%\n"
                                                            : "Found Integrated GPU usage: %.1f%%\n",
                                       value));
                break;
            }
        }
    }
    return lines;
}
