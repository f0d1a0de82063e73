#pragma once
#include <string_view>

#include "SensorClassifier.h"
#include "SensorLibraryApi.h"

struct SensorLibraryBinding;
struct SensorSnapshot;
class SensorTrace;

// Sees every device and valid reading of a pass (the diagnostics tool).
class SensorPassObserver {
public:
    virtual ~SensorPassObserver() = default;
    virtual void OnDevice(int device, std::string_view name) = 0;
    // label is already bounded to its field.
    virtual void OnReading(int device, int kind, int index, int hwClass, std::string_view label, double value) = 0;
};

struct SensorPassResult {
    bool bound = false;     // the library's entry points were available
    int deviceCount = 0;    // as the library reported it (0 or less: nothing read)
    bool sampled = false;   // readings were walked and the results applied
    SensorCandidates candidates;
};

// One sampling pass: binds the library when it is not ready, walks every device
// and reading index (kinds 1 and 7), applies the classification rules and writes
// the results into `snapshot` when it is not null. Load readings are traced.
// Sampling thread.
SensorPassResult SampleSensors(SensorLibraryBinding& binding, SensorSnapshot* snapshot, SensorTrace& trace,
                               SensorPassObserver* observer = nullptr);
