#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "AppEntry.h"
#include "UniqueResource.h"
#include "TestLock.h"
#include "TestWindow.h"

namespace {

TEST(SmallScreen, BelowFourteenHundredByEightHundredOnly)
{
    EXPECT_TRUE(IsSmallScreen(1366, 768));
    EXPECT_TRUE(IsSmallScreen(1399, 1080));
    EXPECT_TRUE(IsSmallScreen(1920, 799));
    EXPECT_FALSE(IsSmallScreen(1400, 800));
    EXPECT_FALSE(IsSmallScreen(1920, 1080));
}

TEST(SmallScreen, RuleFollowsThePrimaryScreen)
{
    const bool small = IsSmallScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(ApplySmallScreenDpiRule(), small);
}

TEST(HideSwitch, PlainCaseSensitiveSubstring)
{
    EXPECT_TRUE(HasHideSwitch(L"-hide"));
    EXPECT_TRUE(HasHideSwitch(L"\"C:\\Program Files\\Vantrel Glimra.exe\" -hide"));
    EXPECT_TRUE(HasHideSwitch(L"x.exe -hideout"));
    EXPECT_FALSE(HasHideSwitch(L"x.exe -hidden"));  // "-hidd...": no "-hide" in it
    EXPECT_TRUE(HasHideSwitch(L"x.exe --hide-me now"));
    EXPECT_FALSE(HasHideSwitch(L"x.exe -HIDE"));
    EXPECT_FALSE(HasHideSwitch(L"x.exe -Hide"));
    EXPECT_FALSE(HasHideSwitch(L"x.exe /hide"));
    EXPECT_FALSE(HasHideSwitch(L""));
    EXPECT_FALSE(HasHideSwitch(nullptr));
}

TEST(MainWindowRectangle, BottomRightTwoPixelsIn)
{
    const RECT r = MainWindowRect(RECT{0, 0, 1920, 1040});
    EXPECT_EQ(r.left, 1418);
    EXPECT_EQ(r.top, 688);
    EXPECT_EQ(r.right, 1918);
    EXPECT_EQ(r.bottom, 1038);

    const RECT shifted = MainWindowRect(RECT{100, 50, 1124, 768});
    EXPECT_EQ(shifted.right - shifted.left, 500);
    EXPECT_EQ(shifted.bottom - shifted.top, 350);
    EXPECT_EQ(shifted.right, 1122);
    EXPECT_EQ(shifted.bottom, 766);
}

TEST(MainWindowRectangle, UsesTheCurrentWorkArea)
{
    RECT work = {};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const RECT r = MainWindowRect();
    const RECT expected = MainWindowRect(work);
    EXPECT_TRUE(EqualRect(&r, &expected));
}

TEST(InstanceMutex, SecondTakerSeesTheFirstAndAPlainNamedSquatterDecidesNothing)
{
    CrossProcessLock lock(L"CaldrisTest.InstanceMutex");
    // What a normal process can make before the program starts: the plain
    // name, and (where the namespace is missing) the fallback name, owned by
    // the user and open to everyone.
    UniqueHandle plain(CreateMutexW(nullptr, TRUE, L"Vantrel Glimra"));
    ASSERT_TRUE(plain);
    {
        UniqueLocalMemory descriptor;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;WD)", SDDL_REVISION_1,
                                                                         descriptor.put(), nullptr));
        SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
        UniqueHandle squatter(CreateMutexW(&attributes, TRUE, L"Vantrel Glimra Instance"));
        ASSERT_TRUE(squatter);
        bool running = true;
        UniqueHandle taken = CreateInstanceMutex(running);
        EXPECT_FALSE(running) << "a normal process's mutex stopped the program";
    }
    bool running = true;
    UniqueHandle first = CreateInstanceMutex(running);
    ASSERT_TRUE(first);
    EXPECT_FALSE(running);

    UniqueHandle second = CreateInstanceMutex(running);
    EXPECT_TRUE(running);
    EXPECT_FALSE(second);

    first.reset();
    UniqueHandle third = CreateInstanceMutex(running);
    EXPECT_FALSE(running);
    EXPECT_TRUE(third);
}

// A plain top-level window, hidden; destroyed with the object.
struct TopWindow {
    ~TopWindow() { RemovePropW(hwnd, L"Vantrel Glimra"); }

    TestWindow window{{.className = L"CaldrisEntryTestWindow", .title = L"entry test",
                       .exStyle = WS_EX_TOOLWINDOW, .rect = {10, 10, 210, 110}}};
    const HWND hwnd = window.get();
};

TEST(ActivateRunningInstance, ShowsTheMarkedHiddenWindow)
{
    CrossProcessLock lock(L"CaldrisTest.WindowProperty");
    TopWindow unmarked;
    TopWindow marked;
    ASSERT_TRUE(marked.hwnd);
    SetPropW(marked.hwnd, L"Vantrel Glimra", reinterpret_cast<HANDLE>(1));
    ASSERT_FALSE(IsWindowVisible(marked.hwnd));

    EXPECT_TRUE(ActivateRunningInstance());
    EXPECT_TRUE(IsWindowVisible(marked.hwnd));
    EXPECT_FALSE(IsWindowVisible(unmarked.hwnd));
}

TEST(ActivateRunningInstance, WindowWithoutThePropertyStaysHidden)
{
    CrossProcessLock lock(L"CaldrisTest.WindowProperty");
    TopWindow unmarked;
    ActivateRunningInstance();
    EXPECT_FALSE(IsWindowVisible(unmarked.hwnd));
}

bool DebugPrivilegeEnabled()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    UniqueHandle token(raw);
    LUID debug = {};
    LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &debug);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size))
        return false;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
        if (p.Luid.LowPart == debug.LowPart && p.Luid.HighPart == debug.HighPart)
            return (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    return false;
}

TEST(DebugPrivilege, PriorityRaisedAndThePrivilegeEnabledOnlyWhileUsed)
{
    EXPECT_TRUE(RaisePriority());
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    EXPECT_TRUE(SetDebugPrivilege(true));
    EXPECT_TRUE(DebugPrivilegeEnabled());
    EXPECT_TRUE(SetDebugPrivilege(false));
    EXPECT_FALSE(DebugPrivilegeEnabled());
    EXPECT_TRUE(TerminateProcessAt(L"C:\\no\\such\\OpenHardwareMonitorServer.exe"));
    EXPECT_FALSE(DebugPrivilegeEnabled());
}

// Copies of the idle helper program under a chosen file name, started and
// ended by the tests.
class SensorServerProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring dir(self);
        dir.erase(dir.find_last_of(L'\\') + 1);
        idle_ = dir + L"shell_idle_process.exe";
        ASSERT_NE(GetFileAttributesW(idle_.c_str()), INVALID_FILE_ATTRIBUTES);

        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"caldris-entry-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    }

    void TearDown() override
    {
        for (UniqueHandle& p : processes_) {
            TerminateProcess(p.get(), 1);
            WaitForSingleObject(p.get(), 5000);
        }
        processes_.clear();
        for (const std::wstring& f : files_)
            DeleteFileW(f.c_str());
        RemoveDirectoryW((folder_ + L"\\elsewhere").c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    // This folder's sensor server, as the program names its own.
    std::wstring Server() const { return folder_ + L"\\" + kSensorServerProcess; }

    // Starts a copy named fileName; returns its index in processes_.
    size_t Start(const std::wstring& fileName)
    {
        const std::wstring path = folder_ + L"\\" + fileName;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            EXPECT_TRUE(CopyFileW(idle_.c_str(), path.c_str(), TRUE));
            files_.push_back(path);
        }
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        std::wstring cmd = L"\"" + path + L"\"";
        EXPECT_TRUE(CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &si, &pi));
        CloseHandle(pi.hThread);
        processes_.emplace_back(pi.hProcess);
        ids_.push_back(pi.dwProcessId);
        return processes_.size() - 1;
    }

    // Order of our processes in the system's process list.
    std::vector<size_t> ListOrder()
    {
        std::vector<size_t> order;
        UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W e = {};
        e.dwSize = sizeof(e);
        for (BOOL more = Process32FirstW(snap.get(), &e); more; more = Process32NextW(snap.get(), &e))
            for (size_t i = 0; i < ids_.size(); ++i)
                if (ids_[i] == e.th32ProcessID)
                    order.push_back(i);
        return order;
    }

    bool Ended(size_t i, DWORD waitMs)
    {
        return WaitForSingleObject(processes_[i].get(), waitMs) == WAIT_OBJECT_0;
    }

    DWORD ExitCode(size_t i)
    {
        DWORD code = 12345;
        GetExitCodeProcess(processes_[i].get(), &code);
        return code;
    }

    CrossProcessLock lock_{L"CaldrisTest.SensorServer"};
    std::wstring idle_;
    std::wstring folder_;
    std::vector<std::wstring> files_;
    std::vector<UniqueHandle> processes_;
    std::vector<DWORD> ids_;
};

TEST_F(SensorServerProcesses, EndsOnlyTheFirstListedMatchEachTime)
{
    Start(L"OpenHardwareMonitorServer.exe");
    Start(L"OpenHardwareMonitorServer.exe");
    const std::vector<size_t> order = ListOrder();
    ASSERT_EQ(order.size(), 2u);

    EXPECT_TRUE(TerminateProcessAt(Server()));
    EXPECT_TRUE(Ended(order[0], 10000));
    EXPECT_EQ(ExitCode(order[0]), 0u);
    EXPECT_FALSE(Ended(order[1], 0));

    EXPECT_TRUE(TerminateProcessAt(Server()));
    EXPECT_TRUE(Ended(order[1], 10000));
    EXPECT_EQ(ExitCode(order[1]), 0u);
}

TEST_F(SensorServerProcesses, MatchesAnyLetterCase)
{
    const size_t p = Start(L"openHARDWAREmonitorserver.EXE");
    EXPECT_TRUE(TerminateProcessAt(Server()));
    EXPECT_TRUE(Ended(p, 10000));
}

TEST_F(SensorServerProcesses, OtherNamesAndTheSameNameElsewhereAreLeftRunning)
{
    const size_t other = Start(L"OpenHardwareMonitorServer2.exe");
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\elsewhere").c_str(), nullptr));
    const size_t elsewhere = Start(L"elsewhere\\OpenHardwareMonitorServer.exe");
    EXPECT_TRUE(TerminateProcessAt(Server()));
    EXPECT_TRUE(TerminateProcessAt(folder_ + L"\\no-such-program.exe"));
    EXPECT_FALSE(Ended(other, 200));
    EXPECT_FALSE(Ended(elsewhere, 200));
    EXPECT_TRUE(TerminateProcessAt(folder_ + L"\\elsewhere\\" + kSensorServerProcess));
    EXPECT_TRUE(Ended(elsewhere, 10000));
}

}  // namespace
