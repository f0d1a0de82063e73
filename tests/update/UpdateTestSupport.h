#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Fixture files written on the host by make_update_fixtures.py.
std::wstring FixturePath(const std::wstring& name);
std::wstring DataPath(const std::wstring& name);

std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);
// Names directly inside a folder, "." and ".." left out, sorted.
std::vector<std::wstring> Children(const std::wstring& folder);
// Every file below a folder, relative to it, sorted.
std::vector<std::wstring> FilesBelow(const std::wstring& folder);
// Removes a tree, read-only files too.
void RemoveTree(const std::wstring& path);

// A fresh folder below the Windows temporary folder, removed again at the end.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& name);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Ends in a backslash.
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};
