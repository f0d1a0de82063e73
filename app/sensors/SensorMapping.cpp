#include "SensorMapping.h"

#include <cstring>

SensorRecordMapping MapSensorSnapshot(const char* name)
{
    SensorRecordMapping record;
    SetLastError(0);
    record.mapping.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SensorSnapshot), name));
    if (!record.mapping)
        return {};
    record.created = GetLastError() == 0;
    record.view.reset(MapViewOfFile(record.mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SensorSnapshot)));
    if (!record.view)
        return {};
    return record;
}

SensorRecordMapping AttachSensorSnapshot(const char* name)
{
    SensorRecordMapping record = MapSensorSnapshot(name);
    if (record && record.created)
        std::memset(record.Snapshot(), 0, sizeof(SensorSnapshot));
    return record;
}
