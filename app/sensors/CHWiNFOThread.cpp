#include "CHWiNFOThread.h"

#include "SensorClassifier.h"
#include "SensorSampler.h"
#include "SensorTrace.h"

CHWiNFOThread::CHWiNFOThread(const SensorSnapshotSlot& snapshot) : CHWiNFOThread(snapshot, StdoutSensorTrace()) {}

CHWiNFOThread::CHWiNFOThread(const SensorSnapshotSlot& snapshot, SensorTrace& trace, SensorStatusBoard& status)
    : snapshot_(snapshot), trace_(trace), board_(status)
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
    const SensorCandidates* found = pass.sampled ? &pass.candidates : nullptr;
    staleness_.AfterPass(found, snapshot);
    // Before the record is mapped the pass's own values stand for it.
    SensorSnapshot values{};
    if (snapshot != nullptr)
        values = *snapshot;
    else if (found != nullptr)
        SensorClassifier::WriteSnapshot(*found, values);
    status_ = SensorStatus::AfterPass(status_, found, values);
    board_.Publish(status_);
}
