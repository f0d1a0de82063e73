#pragma once
#include "CThreadBasic.h"
#include "SensorBinding.h"
#include "SensorSnapshot.h"
#include "SensorStaleness.h"
#include "SensorStatus.h"

class SensorTrace;

// The sensor sampler: one sampling pass per cycle into the shared record, then a
// pause of kIntervalMs. It keeps the sensor library binding, which only this
// thread uses.
class CHWiNFOThread : public CThreadBasic {
public:
    static constexpr unsigned kIntervalMs = 2000;

    // snapshot: not owned; a pass writes into the record it points to once the
    // record is mapped (and only computes while it is null).
    // status: where each pass's status is published (the process's board unless given).
    explicit CHWiNFOThread(const SensorSnapshotSlot& snapshot);
    CHWiNFOThread(const SensorSnapshotSlot& snapshot, SensorTrace& trace, SensorStatusBoard& status = ProcessSensorStatus());
    ~CHWiNFOThread() override;

    // One sampling pass; values it stopped finding age out; the status board
    // learns what the record holds and from where. Sampling thread.
    void Run() override;

    SensorLibraryBinding& Binding() { return binding_; }

private:
    const SensorSnapshotSlot& snapshot_;
    SensorTrace& trace_;
    SensorLibraryBinding binding_;
    SensorStaleness staleness_;
    SensorStatusBoard& board_;
    SensorStatus status_;
};
