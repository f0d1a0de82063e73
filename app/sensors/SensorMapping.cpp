#include "SensorMapping.h"

#include <cstring>

#include "SensorSnapshot.h"

bool MapSensorSnapshot(HANDLE& mapping, void*& view, bool& created)
{
    return MapSensorSnapshot(kSensorSnapshotName, mapping, view, created);
}

bool MapSensorSnapshot(const char* name, HANDLE& mapping, void*& view, bool& created)
{
    SetLastError(0);
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SensorSnapshot), name);
    if (mapping == nullptr)
        return false;
    created = GetLastError() == 0;
    view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SensorSnapshot));
    if (view == nullptr) {
        // Not kept: the next attempt makes a fresh handle.
        CloseHandle(mapping);
        mapping = nullptr;
        return false;
    }
    return true;
}

SensorSnapshot* AttachSensorSnapshot(HANDLE& mapping, void*& view)
{
    return AttachSensorSnapshot(kSensorSnapshotName, mapping, view);
}

SensorSnapshot* AttachSensorSnapshot(const char* name, HANDLE& mapping, void*& view)
{
    bool created = false;
    if (!MapSensorSnapshot(name, mapping, view, created))
        return nullptr;
    if (created)
        std::memset(view, 0, sizeof(SensorSnapshot));
    return static_cast<SensorSnapshot*>(view);
}
