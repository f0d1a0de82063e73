// The Windows side of the end-to-end tests, run under Wine by the test scripts:
//   hold          take the cross-process test locks that guard the program's
//                 machine-wide state, print "held", keep them until stdin ends
//   exit-program  post the tray menu's "Exit" (WM_COMMAND 100) to the running
//                 program's main window; exit code 1 when there is none
//   work-area     print the work area: left top right bottom
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <vector>

#include "TestLock.h"

namespace {

constexpr wchar_t kWindowProperty[] = L"Vantrel Glimra";
constexpr WPARAM kExitCommand = 100;

// The same locks, in the same order, as the program-level tests in this tree.
constexpr const wchar_t* kLocks[] = {
    L"CaldrisTest.SettingsKey",
    L"CaldrisTest.InstanceMutex",
    L"CaldrisTest.WindowProperty",
    L"CaldrisTest.SensorServer",
};

int Hold()
{
    std::vector<std::unique_ptr<CrossProcessLock>> held;
    for (const wchar_t* name : kLocks)
        held.push_back(std::make_unique<CrossProcessLock>(name));
    std::printf("held\n");
    std::fflush(stdout);
    char buffer[256];
    DWORD read = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    return 0;
}

BOOL CALLBACK PostExit(HWND hwnd, LPARAM found)
{
    if (GetPropW(hwnd, kWindowProperty) == nullptr)
        return TRUE;
    PostMessageW(hwnd, WM_COMMAND, kExitCommand, 0);
    ++*reinterpret_cast<int*>(found);
    return TRUE;
}

int ExitProgram()
{
    int found = 0;
    EnumWindows(PostExit, reinterpret_cast<LPARAM>(&found));
    std::printf("posted %d\n", found);
    return found > 0 ? 0 : 1;
}

BOOL CALLBACK SendResume(HWND hwnd, LPARAM found)
{
    if (GetPropW(hwnd, kWindowProperty) == nullptr)
        return TRUE;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0, SMTO_NORMAL, 5000, &result);
    ++*reinterpret_cast<int*>(found);
    return TRUE;
}

// What the system sends when it wakes from sleep.
int Resume()
{
    int found = 0;
    EnumWindows(SendResume, reinterpret_cast<LPARAM>(&found));
    std::printf("sent %d\n", found);
    return found > 0 ? 0 : 1;
}

int WorkArea()
{
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        return 1;
    std::printf("%ld %ld %ld %ld\n", work.left, work.top, work.right, work.bottom);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && std::wcscmp(argv[1], L"hold") == 0)
        return Hold();
    if (argc == 2 && std::wcscmp(argv[1], L"exit-program") == 0)
        return ExitProgram();
    if (argc == 2 && std::wcscmp(argv[1], L"work-area") == 0)
        return WorkArea();
    if (argc == 2 && std::wcscmp(argv[1], L"resume") == 0)
        return Resume();
    std::fprintf(stderr, "usage: e2e_helper hold | exit-program | work-area | resume\n");
    return 2;
}
