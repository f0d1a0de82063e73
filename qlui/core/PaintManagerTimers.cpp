// PaintManager: control timers, the animation timer and WM_TIMER dispatch.
#include "PaintManager.h"

#include <algorithm>

#include "MControl.h"
#include "ScopedLock.h"

namespace {

// Control timers take Win32 ids below this bound, never the message strip's.
constexpr UINT kTimerIdBound = 240;

// A tick of the animation timer, handed from its thread to the window's.
constexpr UINT kAnimationTickId = 6554;
// Set while a handed-over tick waits in the queue, so a busy window gets one.
constexpr wchar_t kTickPendingProp[] = L"QLUI.AnimationTick";

bool IsStripTimer(UINT id)
{
    return id == PaintManager::kMsgShowTimerId || id == PaintManager::kMsgFadeTimerId
           || id == PaintManager::kMsgProgressTimerId;
}

} // namespace

BOOL PaintManager::SetTimer(MControl* control, UINT key, UINT elapse)
{
    ScopedLock lock(m_csTimers);
    for (TIMERINFO* record : m_timers) {
        if (record->hWnd != m_hWndPaint || record->control != control || record->key != key)
            continue;
        if (!record->killed)
            return FALSE;
        if (::SetTimer(m_hWndPaint, record->id, elapse, nullptr) == 0)
            return FALSE;
        record->killed = FALSE;
        return TRUE;
    }
    // Ids cycle from the last one given; an id held by any record (killed ones
    // are re-armed with theirs) is passed over.
    UINT id = 0;
    for (UINT step = 1; step <= kTimerIdBound && id == 0; ++step) {
        UINT candidate = (m_nLastTimerId + step) % kTimerIdBound;
        bool taken = candidate == 0 || IsStripTimer(candidate)
                     || std::any_of(m_timers.begin(), m_timers.end(),
                                    [candidate](const TIMERINFO* record) { return record->id == candidate; });
        if (!taken)
            id = candidate;
    }
    if (id == 0)
        return FALSE;
    m_nLastTimerId = id;
    if (::SetTimer(m_hWndPaint, id, elapse, nullptr) == 0)
        return FALSE;
    m_timers.push_back(new TIMERINFO{m_hWndPaint, key, id, FALSE, control});
    return TRUE;
}

BOOL PaintManager::KillTimer(MControl* control, UINT key)
{
    ScopedLock lock(m_csTimers);
    for (TIMERINFO* record : m_timers) {
        if (record->hWnd == m_hWndPaint && record->control == control && record->key == key && !record->killed) {
            if (::IsWindow(m_hWndPaint))
                ::KillTimer(m_hWndPaint, record->id);
            record->killed = TRUE;
            return TRUE;
        }
    }
    return FALSE;
}

void PaintManager::KillTimer(MControl* control)
{
    ScopedLock lock(m_csTimers);
    for (size_t i = 0; i < m_timers.size();) {
        TIMERINFO* record = m_timers[i];
        if (record->hWnd == m_hWndPaint && record->control == control) {
            if (!record->killed && ::IsWindow(record->hWnd))
                ::KillTimer(record->hWnd, record->id);
            delete record;
            m_timers.erase(m_timers.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void PaintManager::ClearTimers()
{
    ScopedLock lock(m_csTimers);
    for (TIMERINFO* record : m_timers) {
        if (!record->killed && ::IsWindow(record->hWnd))
            ::KillTimer(record->hWnd, record->id);
        delete record;
    }
    m_timers.clear();
}

UINT PaintManager::SetMTimer(UINT elapse)
{
    m_nMTimerId = RKTimer::SetTimer(elapse);
    return m_nMTimerId;
}

void PaintManager::KillMTimer(UINT id) { RKTimer::KillTimer(id); }
void PaintManager::KillMTimer() { RKTimer::KillTimer(); }

BOOL PaintManager::AddMTimer(MControl* control)
{
    ScopedLock lock(m_csAnim);
    m_animControls.push_back(control);
    return TRUE;
}

BOOL PaintManager::DeleteFSTimer(MControl* control)
{
    ScopedLock lock(m_csAnim);
    auto it = std::find(m_animControls.begin(), m_animControls.end(), control);
    if (it == m_animControls.end())
        return FALSE;
    m_animControls.erase(it);
    return TRUE;
}

// Runs on the multimedia timer thread. Controls are only touched on the
// window's thread: the tick is posted there, so no lock of this thread is held
// while a control takes the list locks, and a control deleted there is gone
// from the list before the next tick.
void PaintManager::OnMTimer(UINT id)
{
    HWND hwnd = m_hWndPaint;
    if (id != m_nMTimerId || hwnd == nullptr || ::GetPropW(hwnd, kTickPendingProp) != nullptr)
        return;
    ::SetPropW(hwnd, kTickPendingProp, reinterpret_cast<HANDLE>(1));
    if (!::PostMessageW(hwnd, WM_TIMER, kAnimationTickId, 0))
        ::RemovePropW(hwnd, kTickPendingProp);
}

void PaintManager::OnAnimationTick()
{
    ::RemovePropW(m_hWndPaint, kTickPendingProp);
    ScopedLock lock(m_csAnim);
    for (size_t i = 0; i < m_animControls.size(); ++i)
        m_animControls[i]->OnTimer();
}

void PaintManager::OnTimerMsg(UINT id)
{
    if (id == kCaretTimerId) {
        InvalidateRect(m_rcCaret, FALSE);
        m_bCaretPhase = !m_bCaretPhase;
        return;
    }
    if (IsStripTimer(id)) {
        OnMessageTimer(id);
        return;
    }
    if (id == kAnimationTickId) {
        OnAnimationTick();
        return;
    }
    ScopedLock lock(m_csTimers);
    for (size_t i = 0; i < m_timers.size(); ++i) {
        TIMERINFO* record = m_timers[i];
        if (!record->killed && record->id == id)
            record->control->OnTimer();
    }
}
