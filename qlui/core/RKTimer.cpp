#include "RKTimer.h"

#include <mmsystem.h>

#include <algorithm>

#include "ScopedLock.h"

UINT RKTimer::m_uAccuracy = 0;
BOOL RKTimer::m_bIsTmierOK = FALSE;

RKTimer::RKTimer() { ::InitializeCriticalSection(&m_lock); }

RKTimer::~RKTimer()
{
    KillTimer();
    ::DeleteCriticalSection(&m_lock);
}

BOOL RKTimer::InitAccuracy()
{
    if (m_bIsTmierOK)
        return TRUE;
    TIMECAPS caps = {};
    if (::timeGetDevCaps(&caps, sizeof(caps)) != TIMERR_NOERROR)
        return FALSE;
    m_uAccuracy = std::min(std::max(caps.wPeriodMin, 1u), caps.wPeriodMax);
    ::timeBeginPeriod(m_uAccuracy);
    m_bIsTmierOK = TRUE;
    return TRUE;
}

UINT RKTimer::SetTimer(UINT elapse)
{
    if (!InitAccuracy())
        return 0;
    UINT id = ::timeSetEvent(elapse, m_uAccuracy, TimerProc, reinterpret_cast<DWORD_PTR>(this), TIME_PERIODIC);
    if (id != 0) {
        ScopedLock lock(m_lock);
        m_ids.push_back(id);
    }
    return id;
}

BOOL RKTimer::KillTimer(UINT id)
{
    ScopedLock lock(m_lock);
    auto it = std::find(m_ids.begin(), m_ids.end(), id);
    if (it == m_ids.end())
        return FALSE;
    ::timeKillEvent(id);
    m_ids.erase(it);
    return TRUE;
}

void RKTimer::KillTimer()
{
    ScopedLock lock(m_lock);
    for (UINT id : m_ids)
        ::timeKillEvent(id);
    m_ids.clear();
}

void RKTimer::OnMTimer(UINT) {}

// Runs on the multimedia timer thread.
void CALLBACK RKTimer::TimerProc(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    reinterpret_cast<RKTimer*>(user)->OnMTimer(id);
}
