#pragma once
#include <windows.h>

#include "SensorSnapshot.h"
#include "UniqueResource.h"

// Owner Administrators; SYSTEM and the Administrators may do anything with the
// record, everyone else may read it (other programs read it by name).
inline constexpr wchar_t kSensorRecordSddl[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GR;;;WD)";

// The shared sensor record "qelmar_hardware_mapfile" (772 bytes, page-file
// backed), mapped: the mapping and its view are owned together.
struct SensorRecordMapping {
    UniqueHandle mapping;
    UniqueView view;
    bool created = false;  // this call made the mapping; otherwise another process had
    bool shared = true;    // false: private memory, the named record was not ours to use

    explicit operator bool() const { return static_cast<bool>(view); }
    SensorSnapshot* Snapshot() const { return static_cast<SensorSnapshot*>(const_cast<void*>(view.get())); }
};

// Creates the record with kSensorRecordSddl, or opens it and maps it; empty on
// failure, so the next call tries again. An opened record is used unchanged
// when the Administrators or SYSTEM own it; one that another owner made first
// is not used: the record is then private memory (created, not shared).
// Worker thread.
SensorRecordMapping MapSensorSnapshot(const char* name = kSensorSnapshotName);

// What the connect command does with the record: maps it, and zero-fills it when
// this call created it. Worker thread.
SensorRecordMapping AttachSensorSnapshot(const char* name = kSensorSnapshotName);
