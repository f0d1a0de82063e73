#pragma once
#include <windows.h>

// Messages the main window receives from the program's own threads and from the
// notification area. The worker and the update service report only by posting
// these.
inline constexpr UINT kMsgTrayCallback = 0x69A;
inline constexpr UINT kMsgUpdateVerdict = 0x69C;
inline constexpr UINT kMsgUpgradeProgress = 0x69D;
// A label the worker owns has changed; the UI thread applies it.
inline constexpr UINT kMsgLabelsChanged = WM_APP + 0x21;
// An accepted software update installed nothing; the UI thread says why.
inline constexpr UINT kMsgSoftwareUpdateProblem = WM_APP + 0x22;
// The firmware upgrade command has ended; the UI thread closes its progress window.
inline constexpr UINT kMsgCloseUpgradeProgress = WM_APP + 0x23;
