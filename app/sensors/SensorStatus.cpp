#include "SensorStatus.h"

#include <cstdio>

#include "SensorClassifier.h"
#include "SensorSnapshot.h"

namespace {
SensorOrigin OriginOf(const SensorCandidate* c)
{
    return c != nullptr ? SensorOrigin{c->source, c->label} : SensorOrigin{};
}
}  // namespace

SensorStatus SensorStatus::AfterPass(const SensorStatus& previous, const SensorCandidates* found, const SensorSnapshot& record)
{
    SensorStatus next;
    next.sampled = previous.sampled || found != nullptr;
    next.cpu = record.cpuTemperature;
    next.gpu = record.gpuTemperature;
    next.igpu = record.igpuTemperature;
    const SensorCandidate* cpu = found != nullptr ? SensorClassifier::CpuChoice(*found) : nullptr;
    const SensorCandidate* gpu = found != nullptr ? SensorClassifier::GpuChoice(*found) : nullptr;
    next.cpuOrigin = next.cpu == 0.0f ? SensorOrigin{} : cpu != nullptr ? OriginOf(cpu) : previous.cpuOrigin;
    next.gpuOrigin = next.gpu == 0.0f && next.igpu == 0.0f ? SensorOrigin{} : gpu != nullptr ? OriginOf(gpu) : previous.gpuOrigin;
    return next;
}

std::string SensorStatus::DisplayText() const
{
    char line[160];
    std::string out = "The display uses:\n";
    if (cpu != 0.0f) {
        std::snprintf(line, sizeof line, "  CPU: %.1f C from %s (%s)\n", cpu,
                      cpuOrigin.source.empty() ? "an unnamed source" : cpuOrigin.source.c_str(), cpuOrigin.label.c_str());
        out += line;
    } else {
        out += std::string("  CPU: none: ") + kNoCpuSourceAdvice + "\n";
    }
    const float shownGpu = gpu != 0.0f ? gpu : igpu;
    if (shownGpu != 0.0f) {
        std::snprintf(line, sizeof line, "  GPU: %.1f C from %s (%s)\n", shownGpu,
                      gpuOrigin.source.empty() ? "an unnamed source" : gpuOrigin.source.c_str(), gpuOrigin.label.c_str());
        out += line;
    } else {
        out += "  GPU: none: no source gives a GPU temperature\n";
    }
    return out;
}

void SensorStatusBoard::Publish(const SensorStatus& status)
{
    std::lock_guard<std::mutex> hold(lock_);
    status_ = status;
}

SensorStatus SensorStatusBoard::Read() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return status_;
}

SensorStatusBoard& ProcessSensorStatus()
{
    static SensorStatusBoard board;
    return board;
}
