#pragma once
#include <windows.h>

struct SensorSnapshot;

// Creates or opens the shared sensor record "qelmar_hardware_mapfile" (772
// bytes, page-file backed) and maps it. `created` tells whether this call made
// the mapping (the caller then zero-fills it) or opened another process's one
// (used unchanged). The mapping and view are kept for the life of the process.
// Worker thread.
bool MapSensorSnapshot(HANDLE& mapping, void*& view, bool& created);
// The same for a record of another name (tests, tools).
bool MapSensorSnapshot(const char* name, HANDLE& mapping, void*& view, bool& created);

// What the connect command does with the record: maps it and zero-fills it when
// this call created it; an existing record is used unchanged. Null on failure
// (mapping and view then stay null, so the next call tries again).
// Worker thread.
SensorSnapshot* AttachSensorSnapshot(HANDLE& mapping, void*& view);
SensorSnapshot* AttachSensorSnapshot(const char* name, HANDLE& mapping, void*& view);
