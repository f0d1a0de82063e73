#pragma once
#include <windows.h>

#include <string>

// The program's folders. Every result ends in a backslash.

// Folder of the running program file.
std::wstring GetModulePath();
// Local application data + "\\Vantrel Glimra Files\\"; not created here. Empty
// when the shell cannot name the folder: callers then write nothing.
std::wstring GetAppDataPath();
// The same from the shell lookup's result and folder.
std::wstring AppDataPathFrom(HRESULT lookup, const wchar_t* localAppData);
// The package download folder, GetAppDataPath() + "\\temp\\" (the doubled
// backslash is accepted by the file system as one separator); empty with it.
std::wstring GetDownloadPath();

// Creates path and its missing parents; true when the directory exists
// afterwards. An empty path is refused.
bool CreateDirectoryTree(const std::wstring& path);
