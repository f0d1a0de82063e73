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
// The update staging folder, directly below the machine-wide program data
// folder: "<ProgramData>\\Vantrel Glimra Update\\"; not created here (see
// StagingFolder). A folder of its own there, because a normal user may create
// folders in the program data folder and would own one made there first.
// Empty when the shell cannot name the program data folder.
std::wstring GetStagingFolderPath();

// Creates path and its missing parents; true when the directory exists
// afterwards. An empty path is refused.
bool CreateDirectoryTree(const std::wstring& path);
