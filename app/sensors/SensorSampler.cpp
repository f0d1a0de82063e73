#include "SensorSampler.h"

#include <cstring>

#include "SensorBinding.h"
#include "SensorSnapshot.h"
#include "SensorTrace.h"

namespace {
// A text field the library filled: up to its terminator or the field's end,
// whichever comes first, whatever the library put there.
std::string_view Bounded(const char* field, size_t size)
{
    return std::string_view(field, strnlen(field, size));
}
}  // namespace

SensorPassResult SampleSensors(SensorLibraryBinding& b, SensorSnapshot* snapshot, SensorTrace& trace,
                               SensorPassObserver* observer)
{
    SensorPassResult result;
    if (!b.sensorLibraryReady && !BindSensorLibrary(b, trace))
        return result;
    if (!b.bound)
        return result;
    result.bound = true;

    result.deviceCount = b.deviceCount();
    if (result.deviceCount <= 0)
        return result;
    b.refresh();

    SensorCandidates& c = result.candidates;
    for (int device = 0; device < result.deviceCount; ++device) {
        b.selectDevice(device);
        char nameBuffer[kSensorNameSize] = {};
        b.deviceName(device, nameBuffer, kSensorNameSize);
        const std::string_view name = Bounded(nameBuffer, sizeof nameBuffer);
        if (observer != nullptr)
            observer->OnDevice(device, name);

        for (int index = 0; index < kSensorReadingsPerDevice; ++index) {
            SensorReadingRecord record;
            std::memset(&record, 0, sizeof record);
            const int reported = b.readReading(kSensorKindTemperature, device, index, &record);
            if (reported && record.valid == 0)
                continue;
            if (record.valid) {
                const std::string_view label = Bounded(record.label, sizeof record.label);
                if (observer != nullptr)
                    observer->OnReading(device, kSensorKindTemperature, index, record.hwClass, label, record.value);
                SensorClassifier::ApplyTemperature(c, record.hwClass, label, name, static_cast<float>(record.value),
                                                   Bounded(record.source, sizeof record.source));
            }
            // The load read reuses the record as it stands.
            if (b.readReading(kSensorKindLoad, device, index, &record) && record.valid) {
                const std::string_view label = Bounded(record.label, sizeof record.label);
                if (observer != nullptr)
                    observer->OnReading(device, kSensorKindLoad, index, record.hwClass, label, record.value);
                for (const std::string& line : SensorClassifier::LoadTraceLines(record.hwClass, label, name, record.value))
                    trace.Line(line);
            }
        }
    }
    result.sampled = true;
    if (snapshot != nullptr)
        SensorClassifier::WriteSnapshot(c, *snapshot);
    return result;
}
