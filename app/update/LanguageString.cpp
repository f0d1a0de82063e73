#include "LanguageString.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr int kLanguageNumber = 2052;

// Folder of the running program, with a trailing backslash.
std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    const size_t slash = folder.find_last_of(L"\\/");
    folder.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return folder;
}

}  // namespace

std::wstring GetLanguageString(const std::wstring& section)
{
    wchar_t file[MAX_PATH + 32];
    swprintf(file, sizeof file / sizeof file[0], L"%lslanguage\\%d.lan", ProgramFolder().c_str(), kLanguageNumber);
    wchar_t value[260] = {};
    GetPrivateProfileStringW(section.c_str(), L"539", nullptr, value, 260, file);
    return value;
}
