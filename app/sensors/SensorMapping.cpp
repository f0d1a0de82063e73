#include "SensorMapping.h"

#include <sddl.h>

#include <cstring>

#include "SecurityRules.h"

namespace {

SensorRecordMapping Map(UniqueHandle mapping, bool created)
{
    SensorRecordMapping record;
    record.mapping = std::move(mapping);
    record.created = created;
    record.view.reset(MapViewOfFile(record.mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SensorSnapshot)));
    if (!record.view)
        return {};
    return record;
}

}  // namespace

SensorRecordMapping MapSensorSnapshot(const char* name)
{
    UniqueLocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kSensorRecordSddl, SDDL_REVISION_1, descriptor.put(),
                                                              nullptr))
        return {};
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    SetLastError(0);
    UniqueHandle mapping(
        CreateFileMappingA(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, sizeof(SensorSnapshot), name));
    if (!mapping)
        return {};
    const bool created = GetLastError() == 0;
    if (created || OwnedByAdministratorsOrSystem(mapping.get()))
        return Map(std::move(mapping), created);
    // Made first by someone who is no administrator: what it says is not ours
    // to show, nor is it ours to write into. Private memory instead.
    OutputDebugStringA("MapSensorSnapshot: the shared record is not owned by the administrators; not used");
    mapping.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SensorSnapshot),
                                     nullptr));
    if (!mapping)
        return {};
    SensorRecordMapping record = Map(std::move(mapping), true);
    record.shared = false;
    return record;
}

SensorRecordMapping AttachSensorSnapshot(const char* name)
{
    SensorRecordMapping record = MapSensorSnapshot(name);
    if (record && record.created)
        std::memset(record.Snapshot(), 0, sizeof(SensorSnapshot));
    return record;
}
