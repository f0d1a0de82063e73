#include "UpdateTestSupport.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "UniqueResource.h"

std::wstring FixturePath(const std::wstring& name)
{
    return std::wstring(L"" CALDRIS_UPDATE_FIXTURES L"/") + name;
}

std::wstring DataPath(const std::wstring& name)
{
    return std::wstring(L"" CALDRIS_UPDATE_DATA L"/") + name;
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> Children(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> FilesBelow(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    for (const std::wstring& name : Children(folder)) {
        const std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::wstring& inner : FilesBelow(path))
                files.push_back(name + L"\\" + inner);
        } else {
            files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void RemoveTree(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        for (const std::wstring& name : Children(path))
            RemoveTree(path + L"\\" + name);
        RemoveDirectoryW(path.c_str());
    } else {
        DeleteFileW(path.c_str());
    }
}

TempFolder::TempFolder(const std::wstring& name)
{
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(ARRAYSIZE(temp), temp);
    path_ = std::wstring(temp) + L"caldris-" + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    RemoveTree(path_.substr(0, path_.size() - 1));
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    RemoveTree(path_.substr(0, path_.size() - 1));
}
