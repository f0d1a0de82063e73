#include "AppEntry.h"

#include <sddl.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>
#include <vector>

#include "ProductName.h"
#include "SecurityRules.h"

namespace {

// The boundary: the namespace's name and the Administrators SID.
UniqueBoundaryDescriptor MakeBoundary()
{
    UniqueBoundaryDescriptor boundary(CreateBoundaryDescriptorW(kProductName, 0));
    if (!boundary)
        return {};
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size))
        return {};
    // Adding a SID may move the descriptor.
    HANDLE grown = boundary.release();
    const bool added = AddSIDToBoundaryDescriptor(&grown, sid);
    boundary.reset(grown);
    return added ? std::move(boundary) : UniqueBoundaryDescriptor{};
}

// Open for the life of the process: the namespace lives while a handle does.
bool OpenInstanceNamespace()
{
    static UniquePrivateNamespace space;
    if (space)
        return true;
    const UniqueBoundaryDescriptor boundary = MakeBoundary();
    if (!boundary)
        return false;
    // Only SYSTEM and the Administrators may open it or create objects in it.
    UniqueLocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                              descriptor.put(), nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    space.reset(CreatePrivateNamespaceW(&attributes, boundary.get(), kProductName));
    if (!space && GetLastError() == ERROR_ALREADY_EXISTS)
        space.reset(OpenPrivateNamespaceW(boundary.get(), kProductName));
    return static_cast<bool>(space);
}

}  // namespace

UniqueHandle CreateInstanceMutex(bool& alreadyRunning)
{
    alreadyRunning = false;
    // Without private namespaces (Wine has none) the mutex is named plainly
    // and its owner tells whether an instance of this program made it.
    const bool inNamespace = OpenInstanceNamespace();
    const std::wstring name = std::wstring(kProductName) + (inNamespace ? L"\\Instance" : L" Instance");
    UniqueLocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                              descriptor.put(), nullptr))
        return {};
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    UniqueHandle mutex(CreateMutexW(&attributes, TRUE, name.c_str()));
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        // One a normal process made first neither stops this program nor is held by it.
        alreadyRunning = inNamespace || OwnedByAdministratorsOrSystem(mutex.get());
        mutex.reset();
    }
    return mutex;
}

UniqueHandle CreateInstallerMarker()
{
    return UniqueHandle(CreateMutexW(nullptr, FALSE, kProductName));
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

bool RaisePriority()
{
    return SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS) != FALSE;
}

bool SetDebugPrivilege(bool enabled)
{
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken))
        return false;
    UniqueHandle token(rawToken);

    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid))
        return false;

    // Success leaves ERROR_NOT_ALL_ASSIGNED when the token lacks the privilege.
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS;
}

bool TerminateProcessAt(const std::wstring& path)
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return false;
    const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);

    SetDebugPrivilege(true);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        if (_wcsicmp(entry.szExeFile, name.c_str()) != 0)
            continue;
        // The name is anyone's to choose; only the full path says which program it is.
        UniqueHandle process(
            OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        std::vector<wchar_t> image(32768);
        DWORD size = static_cast<DWORD>(image.size());
        if (process && QueryFullProcessImageNameW(process.get(), 0, image.data(), &size) &&
            _wcsicmp(image.data(), path.c_str()) == 0) {
            TerminateProcess(process.get(), 0);
            break;
        }
    }
    SetDebugPrivilege(false);
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
