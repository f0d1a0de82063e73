#pragma once
#include <windows.h>

#include <vector>

#include "QLUIExport.h"

// Periodic multimedia timers whose ticks arrive in the virtual OnMTimer, on
// the multimedia timer's own thread (not the user-interface thread).
class QLUI_API RKTimer {
public:
    RKTimer();
    virtual ~RKTimer();
    RKTimer(const RKTimer&) = delete;
    RKTimer& operator=(const RKTimer&) = delete;

    // Starts a periodic timer; returns its id, 0 on failure.
    UINT SetTimer(UINT elapse);
    BOOL KillTimer(UINT id);
    // Kills every timer started through this object.
    void KillTimer();

    // Called on the multimedia timer thread.
    virtual void OnMTimer(UINT id);

    static UINT m_uAccuracy;
    static BOOL m_bIsTmierOK;

private:
    static void CALLBACK TimerProc(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
    static BOOL InitAccuracy();

    CRITICAL_SECTION m_lock;
    std::vector<UINT> m_ids;
};
