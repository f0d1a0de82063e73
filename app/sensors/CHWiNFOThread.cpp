#include "CHWiNFOThread.h"

#include "DeviceWorker.h"
#include "SensorSampler.h"
#include "SensorTrace.h"

CHWiNFOThread::CHWiNFOThread(DeviceWorker* owner) : CHWiNFOThread(owner, StdoutSensorTrace()) {}

CHWiNFOThread::CHWiNFOThread(DeviceWorker* owner, SensorTrace& trace) : owner_(owner), trace_(trace) {}

CHWiNFOThread::~CHWiNFOThread()
{
    // The pass uses binding_; let a running one finish before it goes away.
    StopThread();
    JoinThread();
}

void CHWiNFOThread::Run()
{
    if (owner_ != nullptr)
        SampleSensors(binding_, owner_->sensorSnapshot, trace_);
}
