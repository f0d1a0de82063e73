#pragma once
#include <cstddef>
#include <cstdint>

#include "DeviceNotifier.h"
#include "VCoolerLayout.h"

// One feature report reaching a virtual cooler, whichever back end carried it:
// the link-time hidapi functions or the kernel-level driver through Windows'
// HID stack. Applies the armed faults, the cooler model and the report log, so
// both back ends serve the same device. The caller holds the channel lock; it
// sends `notices` and starts the restart (VCoolerControl::RestartAsync) after
// releasing it.
namespace vcooler {

struct FeatureOutcome {
    int result = -1;       // byte count, or -1
    bool restart = false;  // the last firmware data report arrived
    NoticeBatch notices;   // a fault took the cooler off the bus
};

// `generation` / `handleEpoch`: those of the handle the report came through; a
// handle of an older plug or from before the cooler went stale fails.
FeatureOutcome SendFeatureLocked(State& s, int index, int collection, uint32_t generation, uint32_t handleEpoch,
                                 const unsigned char* data, size_t length);
FeatureOutcome GetFeatureLocked(State& s, int index, int collection, uint32_t generation, uint32_t handleEpoch,
                                unsigned char* data, size_t length);

// Counts one HID operation towards an armed unplug fault: true when the cooler
// leaves the bus now (the caller then calls FaultUnplug).
bool UnplugDue(Cooler& c);
NoticeBatch FaultUnplug(State& s, int index);

}  // namespace vcooler
