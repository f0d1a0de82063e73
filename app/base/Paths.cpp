#include "Paths.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

#include <vector>

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

std::wstring AppDataPathFrom(HRESULT lookup, const wchar_t* localAppData)
{
    // Without the folder the path would start at the drive root, a place every
    // user shares: no path at all is the only safe answer.
    if (FAILED(lookup) || localAppData == nullptr || localAppData[0] == L'\0')
        return L"";
    return std::wstring(localAppData) + L"\\" + kProductName + L" Files\\";
}

std::wstring GetAppDataPath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    return AppDataPathFrom(hr, folder);
}

std::wstring GetStagingFolderPath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)) ||
        folder[0] == L'\0')
        return L"";
    return std::wstring(folder) + L"\\" + kProductName + L" Update\\";
}

bool CreateDirectoryTree(const std::wstring& path)
{
    if (path.empty())
        return false;
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
