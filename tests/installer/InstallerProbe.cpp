// The Windows side of the installer test, run under Wine in the test's prefix:
//   window        the running program's main window (found by its property):
//                 prints "<pid> <visible 0|1> <program path>"; exit 1 if none
//   watch PID     prints "watching", waits for that process to end (bounded)
//                 and prints "exit <code>"; exit 1 if it cannot be watched
//   count NAME    prints how many processes run the executable NAME
//   version FILE  prints the file version from FILE's version resource
//   stubborn      holds the instance mutex and a window with the program's
//                 property that ignores "Exit" (as during a firmware upgrade);
//                 prints "ready <pid>" and runs until it is ended
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "TestWindow.h"

namespace {

constexpr wchar_t kWindowProperty[] = L"Vantrel Glimra";

struct Found {
    HWND window = nullptr;
};

BOOL CALLBACK FindProgram(HWND hwnd, LPARAM param)
{
    if (GetPropW(hwnd, kWindowProperty) == nullptr)
        return TRUE;
    reinterpret_cast<Found*>(param)->window = hwnd;
    return FALSE;
}

int Window()
{
    Found found;
    EnumWindows(FindProgram, reinterpret_cast<LPARAM>(&found));
    if (found.window == nullptr)
        return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(found.window, &pid);
    wchar_t path[MAX_PATH] = L"?";
    if (UniqueHandle process{OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)}) {
        DWORD size = MAX_PATH;
        QueryFullProcessImageNameW(process.get(), 0, path, &size);
    }
    std::wprintf(L"%lu %d %ls\n", pid, IsWindowVisible(found.window) ? 1 : 0, path);
    return 0;
}

int Watch(DWORD pid)
{
    UniqueHandle process{OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)};
    if (!process)
        return 1;
    std::printf("watching\n");
    std::fflush(stdout);
    if (WaitForSingleObject(process.get(), 300000) != WAIT_OBJECT_0) {
        std::printf("still running\n");
        return 1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    std::printf("exit %lu\n", code);
    return 0;
}

int Count(const wchar_t* name)
{
    UniqueHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (!snapshot)
        return 1;
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, name) == 0)
            ++count;
    }
    std::printf("%d\n", count);
    return 0;
}

int Version(const wchar_t* file)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (size == 0)
        return 1;
    std::vector<unsigned char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(file, 0, size, data.data())
        || !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr)
        return 1;
    std::printf("%lu.%lu.%lu.%lu\n", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return 0;
}

LRESULT CALLBACK IgnoreExit(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND || message == WM_CLOSE)
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int Stubborn()
{
    UniqueHandle mutex{CreateMutexW(nullptr, TRUE, kWindowProperty)};
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS)
        return 1;
    TestWindow window({.className = L"InstallerProbeStubborn",
                       .proc = IgnoreExit,
                       .title = L"GLIMRA",
                       .exStyle = WS_EX_TOOLWINDOW});
    if (window.get() == nullptr || !SetPropW(window.get(), kWindowProperty, reinterpret_cast<HANDLE>(1)))
        return 1;
    std::printf("ready %lu\n", GetCurrentProcessId());
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && std::wcscmp(argv[1], L"window") == 0)
        return Window();
    if (argc == 3 && std::wcscmp(argv[1], L"watch") == 0)
        return Watch(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    if (argc == 3 && std::wcscmp(argv[1], L"count") == 0)
        return Count(argv[2]);
    if (argc == 3 && std::wcscmp(argv[1], L"version") == 0)
        return Version(argv[2]);
    if (argc == 2 && std::wcscmp(argv[1], L"stubborn") == 0)
        return Stubborn();
    std::fprintf(stderr, "usage: installer_probe window | watch PID | count NAME | version FILE | stubborn\n");
    return 2;
}
