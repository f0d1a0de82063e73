// Stands in for HWiNFO's shared sensor memory ("Global\HWiNFO_SENS_SM2"), the
// machine source the release program's sensor library reads first: one CPU
// with a "CPU Package" temperature. Prints "ready" once published; each line
// on stdin is a new temperature, answered with "applied <µs>" (the
// QueryPerformanceCounter clock the virtual cooler's report log uses) once the
// block holds it; ends at end of input. The poll time follows the clock, as
// HWiNFO's does, so the block never counts as stale.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include "HwinfoSource.h"
#include "UniqueResource.h"

namespace {

struct Block {
    HwinfoHeader header;
    HwinfoSensor sensor;
    HwinfoReading reading;
};

void Fill(Block& b, double celsius)
{
    b.header.signature = kHwinfoActive;
    b.header.version = 2;
    b.header.revision = 0;
    b.header.sensorOffset = offsetof(Block, sensor);
    b.header.sensorSize = sizeof(HwinfoSensor);
    b.header.sensorCount = 1;
    b.header.readingOffset = offsetof(Block, reading);
    b.header.readingSize = sizeof(HwinfoReading);
    b.header.readingCount = 1;
    b.header.pollingPeriodMs = 500;
    strcpy(b.sensor.nameOrig, "CPU [#0]: Intel Core i7-12700K: DTS");
    strcpy(b.sensor.nameUser, b.sensor.nameOrig);
    b.reading.type = 1;
    b.reading.sensorIndex = 0;
    strcpy(b.reading.labelOrig, "CPU Package");
    strcpy(b.reading.labelUser, "CPU Package");
    strcpy(b.reading.unit, "\xB0" "C");
    b.reading.value = b.reading.valueMin = b.reading.valueMax = b.reading.valueAvg = celsius;
}

int64_t NowUs()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return count.QuadPart / frequency.QuadPart * 1000000 + count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    double celsius = argc > 1 ? _wtof(argv[1]) : 50.0;
    UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Block),
                                            L"Global\\HWiNFO_SENS_SM2"));
    if (!mapping)
        return 1;
    UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(Block)));
    if (!view)
        return 1;
    auto* block = static_cast<Block*>(const_cast<void*>(view.get()));
    std::mutex lock;
    const auto publish = [&] {
        Block next{};
        Fill(next, celsius);
        next.header.pollTime = static_cast<int64_t>(time(nullptr));
        memcpy(block, &next, sizeof next);
    };
    publish();
    printf("ready\n");
    fflush(stdout);
    std::atomic<bool> done{false};
    std::thread input([&] {
        char line[64];
        while (fgets(line, sizeof line, stdin) != nullptr) {
            std::lock_guard<std::mutex> held(lock);
            celsius = atof(line);
            publish();
            printf("applied %lld\n", static_cast<long long>(NowUs()));
            fflush(stdout);
        }
        done = true;
    });
    while (!done) {
        Sleep(200);
        std::lock_guard<std::mutex> held(lock);
        publish();
    }
    input.join();
    return 0;
}
