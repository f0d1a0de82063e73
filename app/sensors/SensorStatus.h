#pragma once
#include <mutex>
#include <string>

struct SensorCandidates;
struct SensorSnapshot;

// Where a value of the record came from: the library's data source and the
// reading's label. An empty source means unknown (a library that does not say).
struct SensorOrigin {
    std::string source;
    std::string label;
    bool operator==(const SensorOrigin&) const = default;
};

// What the display can show after a pass: the record's CPU and GPU values and
// their origins. A value of 0 is the record's "no value".
struct SensorStatus {
    bool sampled = false;  // a pass has read the library
    float cpu = 0.0f;
    float gpu = 0.0f;   // dedicated
    float igpu = 0.0f;  // integrated
    SensorOrigin cpuOrigin;
    SensorOrigin gpuOrigin;   // of whichever GPU value is not 0
    bool operator==(const SensorStatus&) const = default;

    // The status after one pass: `found` is what the pass found (null when it
    // read nothing), `record` the values as the pass left them. A value kept
    // from earlier passes keeps its origin; a value gone to 0 loses it.
    static SensorStatus AfterPass(const SensorStatus& previous, const SensorCandidates* found, const SensorSnapshot& record);

    // "The display uses:" and a line each for the CPU and the GPU: the value and
    // its source, or what is missing and what the user can do.
    std::string DisplayText() const;
};

// The sampler publishes the status here after every pass; the tray reads it.
class SensorStatusBoard {
public:
    void Publish(const SensorStatus& status);  // sampler thread
    SensorStatus Read() const;                 // any thread

private:
    mutable std::mutex lock_;
    SensorStatus status_;
};

// The process's board, written by its sampler.
SensorStatusBoard& ProcessSensorStatus();

// What a user without any CPU source can do (diagnostics text).
inline constexpr char kNoCpuSourceAdvice[] =
    "no source gives a CPU temperature. Run HWiNFO (Shared Memory Support on), Core Temp, AIDA64 (Shared Memory on), "
    "LibreHardwareMonitor or OpenHardwareMonitor, or show the GPU temperature instead";
