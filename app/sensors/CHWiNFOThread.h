#pragma once
#include "CThreadBasic.h"
#include "SensorBinding.h"

class DeviceWorker;
class SensorTrace;

// The sensor sampler: one sampling pass per cycle for its owner, then a pause of
// kIntervalMs. It keeps the sensor library binding, which only this thread uses.
class CHWiNFOThread : public CThreadBasic {
public:
    static constexpr unsigned kIntervalMs = 2000;

    // owner: not owned; its sensorSnapshot receives the results once mapped.
    explicit CHWiNFOThread(DeviceWorker* owner);
    CHWiNFOThread(DeviceWorker* owner, SensorTrace& trace);
    ~CHWiNFOThread() override;

    // One sampling pass. Sampling thread.
    void Run() override;

    SensorLibraryBinding& Binding() { return binding_; }

private:
    DeviceWorker* owner_;
    SensorTrace& trace_;
    SensorLibraryBinding binding_;
};
