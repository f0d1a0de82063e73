#include "AppEntry.h"

#include <tlhelp32.h>

#include <cwchar>

#include "ProductName.h"

UniqueHandle CreateInstanceMutex(bool& alreadyRunning)
{
    UniqueHandle mutex(CreateMutexW(nullptr, TRUE, kProductName));
    alreadyRunning = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    if (alreadyRunning)
        mutex.reset();
    return mutex;
}

bool ActivateRunningInstance()
{
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); IsWindow(window);
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (GetPropW(window, kProductName)) {
            SetForegroundWindow(window);
            ShowWindow(window, SW_SHOWNORMAL);
            UpdateWindow(window);
            BringWindowToTop(window);
            return true;
        }
    }
    return false;
}

bool IsSmallScreen(int width, int height)
{
    return width < 1400 || height < 800;
}

bool ApplySmallScreenDpiRule()
{
    if (!IsSmallScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)))
        return false;
    SetProcessDPIAware();
    return true;
}

bool EnableDebugPrivilege()
{
    if (!SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS))
        return false;

    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken))
        return false;
    UniqueHandle token(rawToken);

    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid))
        return false;

    // Success leaves ERROR_NOT_ALL_ASSIGNED when the token lacks the privilege.
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS;
}

bool TerminateProcessByName(const wchar_t* name)
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;

    DWORD processId = 0;
    bool found = false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        _wcslwr_s(entry.szExeFile, MAX_PATH);
        if (_wcsicmp(entry.szExeFile, name) == 0) {
            processId = entry.th32ProcessID;
            found = true;
            break;
        }
    }
    snapshot.reset();

    if (found) {
        UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
        if (process)
            TerminateProcess(process.get(), 0);
    }
    return true;
}

bool HasHideSwitch(const wchar_t* commandLine)
{
    return commandLine && std::wcsstr(commandLine, L"-hide") != nullptr;
}

RECT MainWindowRect(const RECT& workArea)
{
    return RECT{workArea.right - 502, workArea.bottom - 352, workArea.right - 2, workArea.bottom - 2};
}

RECT MainWindowRect()
{
    RECT workArea = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    return MainWindowRect(workArea);
}
