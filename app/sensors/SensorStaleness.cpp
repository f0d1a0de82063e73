#include "SensorStaleness.h"

#include "SensorClassifier.h"
#include "SensorSnapshot.h"

namespace {

// Counts one more pass without the value; true once it is stale.
bool Missed(bool found, int& misses)
{
    if (found) {
        misses = 0;
        return false;
    }
    if (misses < SensorStaleness::kStalePasses)
        ++misses;
    return misses >= SensorStaleness::kStalePasses;
}

}  // namespace

void SensorStaleness::AfterPass(const SensorCandidates* found, SensorSnapshot* snapshot)
{
    const bool cpu = found != nullptr && (found->cpuPackage11.found || found->cpuPackage12.found ||
                                          found->cpuTctl.found || found->cpuLabel.found);
    const bool gpu = found != nullptr && (found->dedicatedGpu.found || found->integratedGpu.found);
    const bool board = found != nullptr && found->board.found;
    const bool cpuStale = Missed(cpu, cpuMisses_);
    const bool gpuStale = Missed(gpu, gpuMisses_);
    const bool boardStale = Missed(board, boardMisses_);
    if (snapshot == nullptr)
        return;
    if (cpuStale)
        snapshot->cpuTemperature = 0.0f;
    if (gpuStale) {
        snapshot->gpuTemperature = 0.0f;
        snapshot->igpuTemperature = 0.0f;
    }
    if (boardStale)
        snapshot->boardTemperature = 0.0f;
}
