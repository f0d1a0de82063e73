// Loads the sensor library beside it, reads the machine once (its sources
// start), keeps a thread inside the library, then ends: "exit" returns from
// the process with the library loaded, "unload" frees the library first.
#include <windows.h>

#include <cwchar>

namespace {

using IntFn = int (*)();
using InitFn = int (*)(int);

IntFn g_refresh = nullptr;

DWORD WINAPI Sample(void*)
{
    for (;;)
        g_refresh();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    SetEnvironmentVariableW(L"GLIMRA_SENSOR_REPLAY", nullptr);
    HMODULE library = LoadLibraryW(L"api-ms-win-core-sysinfo-825-32.dll");
    if (library == nullptr)
        return 3;
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(850))));
    g_refresh = reinterpret_cast<IntFn>(reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(263))));
    if (init == nullptr || g_refresh == nullptr || init(192) != 0)
        return 4;
    g_refresh();
    if (wcscmp(argv[1], L"unload") == 0) {
        FreeLibrary(library);
        return 0;
    }
    // The sampler as the process ends: busy inside the library.
    CloseHandle(CreateThread(nullptr, 0, Sample, nullptr, 0, nullptr));
    Sleep(50);
    return 0;
}
