#include "Paths.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

#include <vector>

#include "Manager.h"
#include "ProductName.h"

std::wstring GetModulePath()
{
    // Grows past MAX_PATH so a long install path is never cut short.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return L"";
        if (n < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    std::wstring path(buffer.data());
    const size_t slash = path.find_last_of(L"\\/");
    path.erase(slash == std::wstring::npos ? 0 : slash);
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    return path;
}

std::wstring GetSkinsPath()
{
    return GetModulePath() + L"skins\\" + Manager::GetTheme().GetString();
}

std::wstring GetAppDataPath()
{
    // The shell's result is not examined: on failure the buffer stays empty.
    wchar_t folder[MAX_PATH + 1] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\" + kProductName + L" Files\\";
}

std::wstring GetDownloadPath()
{
    return GetAppDataPath() + L"\\temp\\";
}

bool CreateDirectoryTree(const std::wstring& path)
{
    if (PathIsDirectoryW(path.c_str()))
        return true;

    // Every prefix that ends before a backslash, except the first (the drive).
    const size_t first = path.find(L'\\');
    if (first != std::wstring::npos) {
        for (size_t next = path.find(L'\\', first + 1); next != std::wstring::npos;
             next = path.find(L'\\', next + 1))
            CreateDirectoryW(path.substr(0, next).c_str(), nullptr);
    }

    SetLastError(0);
    if (CreateDirectoryW(path.c_str(), nullptr))
        return true;
    // "Already exists" also answers for a file of that name, which is no directory.
    return GetLastError() == ERROR_ALREADY_EXISTS && PathIsDirectoryW(path.c_str());
}
