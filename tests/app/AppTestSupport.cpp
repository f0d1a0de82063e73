#include "AppTestSupport.h"

#include <atomic>
#include <cstdio>

bool WaitUntil(const std::function<bool()>& done, DWORD boundMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > boundMs)
            return false;
        Sleep(10);
    }
    return true;
}

std::wstring TestProgramFolder()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.erase(folder.find_last_of(L'\\') + 1);
    return folder;
}

std::wstring TempFileName(const wchar_t* prefix, const wchar_t* suffix)
{
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + suffix;
}

std::string ReadTextFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

bool WriteTextFile(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(file);
    return ok;
}

std::wstring WriteSensorReplay(double cpuCelsius)
{
    const std::wstring path = TempFileName(L"caldris-app-replay-", L".txt");
    char text[256];
    std::snprintf(text, sizeof(text), "device \"Test CPU\"\n  temp 0 11 \"CPU Package\" %.1f\n", cpuCelsius);
    return WriteTextFile(path, text) ? path : std::wstring();
}
