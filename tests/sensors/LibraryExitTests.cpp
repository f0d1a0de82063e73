// The sensor library at the end of the process: its sources are left to the
// process's own teardown, and only an unload shuts them down.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "UniqueResource.h"

namespace {

std::wstring Folder()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// Runs the probe beside this test; its exit code, or -1.
long RunProbe(const wchar_t* mode)
{
    const std::wstring program = Folder() + L"sensor_exit_probe.exe";
    std::wstring commandLine = L"\"" + program + L"\" " + mode;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 99);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<long>(code);
}

std::string ReadAll(const std::wstring& path)
{
    std::ifstream in(path.c_str());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The stand-in NVML where the library looks for it (System32 only), for the
// life of the test.
class SystemNvml {
public:
    SystemNvml()
    {
        wchar_t system[MAX_PATH];
        GetSystemDirectoryW(system, MAX_PATH);
        path_ = std::wstring(system) + L"\\nvml.dll";
        installed_ = CopyFileW((Folder() + L"nvml.dll").c_str(), path_.c_str(), FALSE) != 0;
    }
    ~SystemNvml() { DeleteFileW(path_.c_str()); }
    bool Installed() const { return installed_; }

private:
    std::wstring path_;
    bool installed_ = false;
};

TEST(SensorLibraryEnd, ProcessExitLeavesTheSourcesAloneAndAnUnloadShutsThemDown)
{
    SystemNvml nvml;
    ASSERT_TRUE(nvml.Installed());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring log = std::wstring(temp) + L"fake-nvml-" + std::to_wstring(GetCurrentProcessId()) + L".log";
    DeleteFileW(log.c_str());
    SetEnvironmentVariableW(L"FAKE_NVML_LOG", log.c_str());

    EXPECT_EQ(RunProbe(L"exit"), 0);
    EXPECT_EQ(ReadAll(log), "") << "no shutdown under the loader lock while the process ends";

    EXPECT_EQ(RunProbe(L"unload"), 0);
    EXPECT_EQ(ReadAll(log), "shutdown\n") << "an unload still shuts NVML down";
    DeleteFileW(log.c_str());
}

}  // namespace
