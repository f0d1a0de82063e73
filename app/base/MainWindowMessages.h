#pragma once
#include <windows.h>

// Messages the main window receives from the program's own threads and from the
// notification area. The worker and the update service report only by posting
// these.
inline constexpr UINT kMsgTrayCallback = 0x69A;
inline constexpr UINT kMsgUpdateVerdict = 0x69C;
inline constexpr UINT kMsgUpgradeProgress = 0x69D;
// Work another thread handed to the UI thread (UiThreadQueue).
inline constexpr UINT kMsgUiWork = WM_APP + 0x21;
