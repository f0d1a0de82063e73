#pragma once

struct SensorCandidates;
struct SensorSnapshot;

// How long a value the sampling passes stopped finding stays in the record. A
// pass that finds no candidate keeps the previous value, riding over short gaps;
// a value not refreshed for kStalePasses passes in a row is no longer current
// and reads 0, the record's "no value", until a pass finds it again. Window-free;
// the sampler owns one and calls it on its thread.
class SensorStaleness {
public:
    static constexpr int kStalePasses = 3;

    // After one pass: `found` is what the pass found, null when it read nothing
    // (no library, no device). Writes into `snapshot` when it is not null.
    void AfterPass(const SensorCandidates* found, SensorSnapshot* snapshot);

private:
    int cpuMisses_ = 0;
    int gpuMisses_ = 0;
    int boardMisses_ = 0;
};
