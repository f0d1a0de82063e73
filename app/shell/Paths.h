#pragma once
#include <string>

// The program's folders. Every result ends in a backslash.

// Folder of the running program file.
std::wstring GetModulePath();
// The skin folder: GetModulePath() + "skins\\" + the theme folder ("theme1\\").
std::wstring GetSkinsPath();
// Local application data + "\\Vantrel Glimra Files\\"; not created here.
std::wstring GetAppDataPath();
// The package download folder, GetAppDataPath() + "\\temp\\" (the doubled
// backslash is accepted by the file system as one separator).
std::wstring GetDownloadPath();

// Creates path and its missing parents; true when the directory exists afterwards.
bool CreateDirectoryTree(const std::wstring& path);
