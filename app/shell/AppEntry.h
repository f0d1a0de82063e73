#pragma once
#include <windows.h>

#include <string>

#include "UniqueResource.h"

// Helpers of the process entry and lifecycle. Main (UI) thread.

inline constexpr wchar_t kSensorServerProcess[] = L"OpenHardwareMonitorServer.exe";

// Takes the single-instance mutex "Instance" inside the private namespace
// "Vantrel Glimra" bounded by the Administrators SID, which only an
// administrator's process can create or open: a normal process cannot take the
// instance check first. The namespace stays open for the life of the process.
// Where private namespaces are missing (Wine), the mutex "Vantrel Glimra
// Instance" counts only when the Administrators or SYSTEM own it. Both are
// made with a DACL for SYSTEM and the Administrators alone. alreadyRunning is
// set when another instance holds it; then the returned handle is empty. A
// mutex that cannot be created at all, or another owner's, counts as no other
// instance.
UniqueHandle CreateInstanceMutex(bool& alreadyRunning);

// The plain named mutex "Vantrel Glimra" that the installer waits for while an
// instance runs. It decides nothing in the program: one that a normal process
// made first only makes the installer wait (bounded).
UniqueHandle CreateInstallerMarker();

// Brings up the first top-level window carrying the "Vantrel Glimra" property;
// false when there is none.
bool ActivateRunningInstance();

// Screens below 1400 x 800 make the process DPI-aware.
bool IsSmallScreen(int width, int height);
// Applies that rule to the primary screen; true when the process was made DPI-aware.
bool ApplySmallScreenDpiRule();

// Raises the priority class; true when it succeeded.
bool RaisePriority();

// Enables SeDebugPrivilege, or drops it again; true when the token says so.
bool SetDebugPrivilege(bool enabled);

// Ends the first running process whose full image path is path (any letter
// case), with SeDebugPrivilege enabled only meanwhile; a process of the same
// name elsewhere is left alone. False only when the process list cannot be
// taken.
bool TerminateProcessAt(const std::wstring& path);

// "-hide" anywhere in the command line (case-sensitive, also inside a word).
bool HasHideSwitch(const wchar_t* commandLine);

// The main window's 500 x 350 rectangle, 2 pixels in from the right and bottom
// edges of the work area.
RECT MainWindowRect(const RECT& workArea);
// The same for the current work area of the primary screen.
RECT MainWindowRect();
