#pragma once
#include <windows.h>

#include "SensorSnapshot.h"
#include "UniqueResource.h"

// The shared sensor record "qelmar_hardware_mapfile" (772 bytes, page-file
// backed), mapped: the mapping and its view are owned together.
struct SensorRecordMapping {
    UniqueHandle mapping;
    UniqueView view;
    bool created = false;  // this call made the mapping; otherwise another process had

    explicit operator bool() const { return static_cast<bool>(view); }
    SensorSnapshot* Snapshot() const { return static_cast<SensorSnapshot*>(const_cast<void*>(view.get())); }
};

// Creates or opens the record and maps it; empty on failure, so the next call
// tries again. An opened record is used unchanged. Worker thread.
SensorRecordMapping MapSensorSnapshot(const char* name = kSensorSnapshotName);

// What the connect command does with the record: maps it, and zero-fills it when
// this call created it. Worker thread.
SensorRecordMapping AttachSensorSnapshot(const char* name = kSensorSnapshotName);
