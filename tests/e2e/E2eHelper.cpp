// The Windows side of the end-to-end tests, run under Wine by the test scripts:
//   hold          take the cross-process test locks that guard the program's
//                 machine-wide state, print "held", keep them until stdin ends
//   exit-program  post the tray menu's "Exit" (WM_COMMAND 100) to the running
//                 program's main window; exit code 1 when there is none
//   work-area     print the work area: left top right bottom
//   resume        send the resume-from-sleep broadcast to the program's main window
//   record-launch FILE ARG...  append "parent-image<TAB>args" to FILE: stands
//                 in for a browser, to see which process started it
//   menu          print "open" while a popup menu shows, else "closed"
//   show-box MODE CAPTION TEXT
//                 show the program's message box as the program would (a
//                 reference picture for the tests); prints its result
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "CUIMessageBox.h"
#include "GdiplusScope.h"
#include "Manager.h"
#include "TestLock.h"
#include "UniqueResource.h"

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

// The image name of this process's parent, "" when it is gone.
std::wstring ParentImage()
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return L"";
    std::vector<PROCESSENTRY32W> all;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        all.push_back(entry);
    DWORD parent = 0;
    for (const PROCESSENTRY32W& e : all) {
        if (e.th32ProcessID == GetCurrentProcessId())
            parent = e.th32ParentProcessID;
    }
    for (const PROCESSENTRY32W& e : all) {
        if (e.th32ProcessID == parent)
            return e.szExeFile;
    }
    return L"";
}

int RecordLaunch(const wchar_t* file, int argc, wchar_t** argv)
{
    FILE* out = _wfopen(file, L"a, ccs=UTF-8");
    if (out == nullptr)
        return 1;
    std::fwprintf(out, L"%ls\t", ParentImage().c_str());
    for (int i = 0; i < argc; ++i)
        std::fwprintf(out, i == 0 ? L"%ls" : L" %ls", argv[i]);
    std::fwprintf(out, L"\n");
    std::fclose(out);
    return 0;
}

// Whether a popup menu (the system's menu class, atom 32768) shows on the
// desktop: prints "open" or "closed".
int MenuState()
{
    bool open = false;
    EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            if (std::wcscmp(name, L"#32768") == 0 && IsWindowVisible(window)) {
                *reinterpret_cast<bool*>(found) = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&open));
    std::printf("%s\n", open ? "open" : "closed");
    return 0;
}

int ShowBox(int mode, const wchar_t* caption, const wchar_t* text)
{
    const GdiplusScope gdiplus;
    Manager::SetInstance(GetModuleHandleW(nullptr));
    // Line breaks come as the two characters \n on the command line.
    std::wstring message(text);
    for (size_t at; (at = message.find(L"\\n")) != std::wstring::npos;)
        message.replace(at, 2, L"\n");
    std::printf("result %d\n", ShowMessageBox(message, caption, mode));
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
    if (argc >= 3 && std::wcscmp(argv[1], L"record-launch") == 0)
        return RecordLaunch(argv[2], argc - 3, argv + 3);
    if (argc == 2 && std::wcscmp(argv[1], L"menu") == 0)
        return MenuState();
    if (argc == 5 && std::wcscmp(argv[1], L"show-box") == 0)
        return ShowBox(_wtoi(argv[2]), argv[3], argv[4]);
    std::fprintf(stderr, "usage: e2e_helper hold | exit-program | work-area | resume | record-launch FILE ARG... | "
                         "menu | show-box MODE CAPTION TEXT\n");
    return 2;
}
