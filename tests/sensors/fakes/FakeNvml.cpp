// A stand-in for NVML with no GPU: it only notes each nvmlShutdown in the file
// named by FAKE_NVML_LOG, so a test sees whether and when the sensor library
// shut its sources down.
#include <windows.h>

#include <cstdio>

extern "C" {

__declspec(dllexport) int nvmlInit_v2()
{
    return 0;
}

__declspec(dllexport) int nvmlShutdown()
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"FAKE_NVML_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 0;
    if (FILE* log = _wfopen(path, L"a")) {
        fputs("shutdown\n", log);
        fclose(log);
    }
    return 0;
}

__declspec(dllexport) int nvmlDeviceGetCount_v2(unsigned* count)
{
    *count = 0;
    return 0;
}

constexpr int kNotFound = 6;
__declspec(dllexport) int nvmlDeviceGetHandleByIndex_v2(unsigned, void**) { return kNotFound; }
__declspec(dllexport) int nvmlDeviceGetName(void*, char*, unsigned) { return kNotFound; }
__declspec(dllexport) int nvmlDeviceGetTemperature(void*, int, unsigned*) { return kNotFound; }
__declspec(dllexport) int nvmlDeviceGetUtilizationRates(void*, void*) { return kNotFound; }

}  // extern "C"
