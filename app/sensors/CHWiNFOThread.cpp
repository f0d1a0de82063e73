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
    SampleSensors(binding_, snapshot_.load(), trace_);
}
