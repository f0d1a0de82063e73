#include "CHWiNFOThread.h"

#include "SensorSampler.h"
#include "SensorTrace.h"

CHWiNFOThread::CHWiNFOThread(const SensorSnapshotSlot& snapshot) : CHWiNFOThread(snapshot, StdoutSensorTrace()) {}

CHWiNFOThread::CHWiNFOThread(const SensorSnapshotSlot& snapshot, SensorTrace& trace)
    : snapshot_(snapshot), trace_(trace)
{
}

CHWiNFOThread::~CHWiNFOThread()
{
    // The pass uses binding_; let a running one finish before it goes away.
    StopThread();
    JoinThread();
}

void CHWiNFOThread::Run()
{
    SensorSnapshot* snapshot = snapshot_.load();
    const SensorPassResult pass = SampleSensors(binding_, snapshot, trace_);
    staleness_.AfterPass(pass.sampled ? &pass.candidates : nullptr, snapshot);
}
