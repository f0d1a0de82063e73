#include "SensorMapping.h"

#include "SensorSnapshot.h"

bool MapSensorSnapshot(HANDLE& mapping, void*& view, bool& created)
{
    SetLastError(0);
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SensorSnapshot), kSensorSnapshotName);
    if (mapping == nullptr)
        return false;
    created = GetLastError() == 0;
    view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SensorSnapshot));
    return view != nullptr;
}
