#pragma once
#include <windows.h>

#include "UniqueResource.h"

// Helpers of the process entry and lifecycle. Main (UI) thread.

inline constexpr wchar_t kSensorServerProcess[] = L"OpenHardwareMonitorServer.exe";

// Takes the single-instance mutex "Vantrel Glimra". alreadyRunning is set when
// another process holds it; then the returned handle is empty. A mutex that
// cannot be created at all counts as no other instance.
UniqueHandle CreateInstanceMutex(bool& alreadyRunning);

// Brings up the first top-level window carrying the "Vantrel Glimra" property;
// false when there is none.
bool ActivateRunningInstance();

// Screens below 1400 x 800 make the process DPI-aware.
bool IsSmallScreen(int width, int height);
// Applies that rule to the primary screen; true when the process was made DPI-aware.
bool ApplySmallScreenDpiRule();

// Raises the priority class and enables SeDebugPrivilege; true when both succeeded.
bool EnableDebugPrivilege();

// Ends the first running process whose file name matches name (any letter
// case); false only when the process list cannot be taken.
bool TerminateProcessByName(const wchar_t* name);

// "-hide" anywhere in the command line (case-sensitive, also inside a word).
bool HasHideSwitch(const wchar_t* commandLine);

// The main window's 500 x 350 rectangle, 2 pixels in from the right and bottom
// edges of the work area.
RECT MainWindowRect(const RECT& workArea);
// The same for the current work area of the primary screen.
RECT MainWindowRect();
