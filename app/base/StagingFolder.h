#pragma once
#include <windows.h>

#include <string>

#include "UniqueResource.h"

// Owner Administrators; a protected DACL (nothing inherited) that gives SYSTEM
// and the Administrators full control, inherited by everything inside, and
// nobody else anything.
inline constexpr wchar_t kStagingFolderSddl[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The folder the elevated program downloads, verifies, unpacks and starts an
// update in (Paths' GetStagingFolderPath()). No process without administrator
// rights can write, rename or plant anything in it: what runs from it is what
// was verified. The folder is made fresh with kStagingFolderSddl; one that
// exists already is taken only when it is a plain folder (no reparse point)
// whose descriptor IsAdministratorsOnly, and is then emptied without following
// any link inside. While held, the folder cannot be renamed or removed.
class StagingFolder {
public:
    // path ends in a backslash; its parent must exist.
    explicit StagingFolder(const std::wstring& path);
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    bool Ready() const { return static_cast<bool>(folder_); }
    // Lets go of the folder and removes it with everything in it (links
    // themselves, never what they point at). Only for a Ready folder.
    void Remove();

private:
    std::wstring path_;
    UniqueHandle folder_;
};
