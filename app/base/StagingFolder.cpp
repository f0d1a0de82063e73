#include "StagingFolder.h"

#include <aclapi.h>
#include <sddl.h>

#include "SecurityRules.h"

namespace {

// Deletes everything below folder (which ends in a backslash). A reparse point
// is removed as the link it is; nothing is followed through it.
void EmptyFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW found{};
    UniqueFind find(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, 0));
    if (!find)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + name;
        const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        const bool isLink = found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(path.c_str(), found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (isFolder && !isLink)
            EmptyFolder(path + L"\\");
        if (isFolder)
            RemoveDirectoryW(path.c_str());
        else
            DeleteFileW(path.c_str());
    } while (FindNextFileW(find.get(), &found));
}

// The folder itself, not what a link there points at; kept open so that it
// cannot be renamed or removed (no delete sharing).
UniqueHandle OpenFolder(const std::wstring& path)
{
    return UniqueHandle(CreateFileW(path.c_str(), READ_CONTROL | FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool IsTrustedFolder(HANDLE folder)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(folder, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    UniqueLocalMemory descriptor;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, nullptr, nullptr, descriptor.put()) != ERROR_SUCCESS)
        return false;
    return IsAdministratorsOnly(descriptor.get());
}

}  // namespace

StagingFolder::StagingFolder(const std::wstring& path) : path_(path)
{
    // The folder itself: with a trailing backslash a link there would be followed.
    const std::wstring folder = path.substr(0, path.find_last_not_of(L'\\') + 1);
    UniqueLocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kStagingFolderSddl, SDDL_REVISION_1, descriptor.put(),
                                                              nullptr))
        return;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    const bool created = CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
    if (!created && GetLastError() != ERROR_ALREADY_EXISTS)
        return;
    UniqueHandle opened = OpenFolder(folder);
    if (!opened || (!created && !IsTrustedFolder(opened.get()))) {
        OutputDebugStringW(L"StagingFolder: the folder exists and is not the administrators' alone; not used");
        return;
    }
    if (!created)
        EmptyFolder(path);
    folder_ = std::move(opened);
}

void StagingFolder::Remove()
{
    if (!folder_)
        return;
    folder_.reset();
    EmptyFolder(path_);
    RemoveDirectoryW(path_.substr(0, path_.find_last_not_of(L'\\') + 1).c_str());
}
