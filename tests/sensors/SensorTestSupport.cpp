#include "SensorTestSupport.h"

#include <atomic>
#include <stdexcept>

namespace {
std::atomic<int> g_counter{0};

std::wstring TempRoot()
{
    wchar_t buf[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, buf);
    return buf;
}

void RemoveTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW fd{};
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = dir + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

void WriteWholeFile(const std::wstring& path, const std::string& text)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create test file");
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

// Pipes for a child: stdin (our write end kept), stdout+stderr (our read end kept).
struct ChildPipes {
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
};

HANDLE Spawn(const std::wstring& exe, const std::wstring& args, ChildPipes& p)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    CreatePipe(&p.inRead, &p.inWrite, &sa, 0);
    CreatePipe(&p.outRead, &p.outWrite, &sa, 0);
    SetHandleInformation(p.inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(p.outRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = p.inRead;
    si.hStdOutput = p.outWrite;
    si.hStdError = p.outWrite;
    const std::wstring path = ProgramFolder() + L"\\" + exe;
    std::wstring cmd = L"\"" + path + L"\" " + args;
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(p.inRead);
    CloseHandle(p.outWrite);
    p.inRead = p.outWrite = nullptr;
    if (!ok) {
        CloseHandle(p.inWrite);
        CloseHandle(p.outRead);
        throw std::runtime_error("cannot start the tool");
    }
    CloseHandle(pi.hThread);
    return pi.hProcess;
}
}  // namespace

std::wstring UniqueName(const wchar_t* prefix)
{
    return std::wstring(prefix) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) +
           L"-" + std::to_wstring(++g_counter);
}

std::string UniqueNarrowName(const char* prefix)
{
    return std::string(prefix) + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
           std::to_string(++g_counter);
}

std::wstring ProgramFolder()
{
    wchar_t buf[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring path = buf;
    return path.substr(0, path.find_last_of(L"\\/"));
}

ScenarioFile::ScenarioFile(const std::string& text)
{
    path_ = TempRoot() + UniqueName(L"glimra-scenario") + L".txt";
    WriteWholeFile(path_, text);
    SetEnvironmentVariableW(L"GLIMRA_SENSOR_REPLAY", path_.c_str());
}

ScenarioFile::~ScenarioFile()
{
    SetEnvironmentVariableW(L"GLIMRA_SENSOR_REPLAY", nullptr);
    DeleteFileW(path_.c_str());
}

TempFolder::TempFolder()
{
    path_ = TempRoot() + UniqueName(L"glimra-test");
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    RemoveTree(path_);
}

void TempFolder::Write(const std::wstring& relative, const std::string& text) const
{
    size_t pos = 0;
    while ((pos = relative.find(L'\\', pos)) != std::wstring::npos) {
        CreateDirectoryW((path_ + L"\\" + relative.substr(0, pos)).c_str(), nullptr);
        ++pos;
    }
    WriteWholeFile(path_ + L"\\" + relative, text);
}

ProcessResult RunTool(const std::wstring& exe, const std::wstring& args)
{
    HeldProcess p(exe, args);
    return p.Finish();
}

HeldProcess::HeldProcess(const std::wstring& exe, const std::wstring& args)
{
    ChildPipes pipes;
    process_ = Spawn(exe, args, pipes);
    inWrite_ = pipes.inWrite;
    outRead_ = pipes.outRead;
}

HeldProcess::~HeldProcess()
{
    Finish();
}

bool HeldProcess::WaitForLine(const std::string& marker)
{
    char buf[4096];
    DWORD got = 0;
    while (out_.find(marker) == std::string::npos) {
        if (!ReadFile(outRead_, buf, sizeof buf, &got, nullptr) || got == 0)
            return false;
        out_.append(buf, got);
    }
    return true;
}

ProcessResult HeldProcess::Finish()
{
    ProcessResult r;
    if (process_ == nullptr)
        return r;
    CloseHandle(inWrite_);
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(outRead_, buf, sizeof buf, &got, nullptr) && got > 0)
        out_.append(buf, got);
    WaitForSingleObject(process_, INFINITE);
    GetExitCodeProcess(process_, &r.exitCode);
    CloseHandle(outRead_);
    CloseHandle(process_);
    process_ = nullptr;
    r.out = out_;
    return r;
}
