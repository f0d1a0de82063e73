#pragma once
#include <string>
#include <string_view>
#include <vector>

struct SensorSnapshot;

// One candidate value of a sampling pass, with where it came from.
struct SensorCandidate {
    bool found = false;
    float value = 0.0f;
    std::string source;  // the library's data source; empty when it did not say
    std::string label;
};

// The working state of one pass: which readings matched which rule.
struct SensorCandidates {
    SensorCandidate cpuPackage11;
    SensorCandidate cpuPackage12;
    SensorCandidate cpuTctl;
    SensorCandidate cpuLabel;
    SensorCandidate dedicatedGpu;
    SensorCandidate integratedGpu;
    SensorCandidate board;
};

// Pure classification rules over single readings; no library involved.
class SensorClassifier {
public:
    // A device name marks a dedicated GPU when it names a discrete card's maker
    // or line (case-sensitive).
    static bool IsDedicatedGpu(std::string_view deviceName);

    // Applies one valid temperature reading (kind 1) of the given class.
    static void ApplyTemperature(SensorCandidates& c, int hwClass, std::string_view label,
                                 std::string_view deviceName, float value, std::string_view source = {});

    // The candidate the record's CPU value comes from (by precedence), null when none.
    static const SensorCandidate* CpuChoice(const SensorCandidates& c);
    // The dedicated GPU's candidate, else the integrated one's; null when neither.
    static const SensorCandidate* GpuChoice(const SensorCandidates& c);

    // Writes a pass's results into the record: the CPU value by precedence, the GPU
    // pair (clearing the other kind), the board; values not found stay as they were.
    static void WriteSnapshot(const SensorCandidates& c, SensorSnapshot& snapshot);

    // The trace lines of one valid load reading (kind 7).
    static std::vector<std::string> LoadTraceLines(int hwClass, std::string_view label,
                                                   std::string_view deviceName, double value);
};
