// Scripted stand-ins for the sensor library, for the binding tests. One device
// whose name fills the whole 256-byte buffer without a terminator, and one
// reading whose label fills its 136-byte field without one.
#include <cstring>

namespace {
int g_initCalls = 0;
constexpr int kNameSize = 256;
constexpr int kLabelOffset = 328;
constexpr int kLabelSize = 136;
}  // namespace

extern "C" {

int FakeInitialise(int version)
{
    ++g_initCalls;
#ifdef FAKE_INIT_FAILS_ONCE
    if (g_initCalls == 1)
        return 7;
#endif
    return version == 192 ? 0 : 1;
}

int FakeDeviceCount()
{
    return 1;
}

int FakeRefresh()
{
    return 1;
}

void FakeSelectDevice(int) {}

int FakeDeviceName(int, char* buffer, int size)
{
    std::memset(buffer, 'N', size);
    return size;
}

int FakeReadReading(int kind, int device, int index, void* record)
{
    if (device != 0 || index != 0)
        return 0;
    auto* bytes = static_cast<unsigned char*>(record);
    const int valid = 1;
    const double value = kind == 1 ? 41.5 : 5.0;
    const int hwClass = 11;
    std::memcpy(bytes, &valid, sizeof valid);
    std::memcpy(bytes + 8, &value, sizeof value);
    std::memcpy(bytes + 48, &hwClass, sizeof hwClass);
    char* label = reinterpret_cast<char*>(bytes + kLabelOffset);
    std::memset(label, 'x', kLabelSize);
    std::memcpy(label, "CPU Package", 11);
    return 1;
}

// How often the initialiser ran.
int FakeInitCalls(char*, int)
{
    return g_initCalls;
}

int FakeSpare(char*, int)
{
    return 0;
}

}  // extern "C"
