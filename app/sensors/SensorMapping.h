#pragma once
#include <windows.h>

// Creates or opens the shared sensor record "qelmar_hardware_mapfile" (772
// bytes, page-file backed) and maps it. `created` tells whether this call made
// the mapping (the caller then zero-fills it) or opened another process's one
// (used unchanged). The mapping and view are kept for the life of the process.
// Worker thread.
bool MapSensorSnapshot(HANDLE& mapping, void*& view, bool& created);
