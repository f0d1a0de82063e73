#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>

// Window and tray helpers shared by the shell's tray tests and the program's tests.

// Pumps this thread's messages until done() holds or boundMs pass (a bound
// against hangs, not a speed check).
inline bool PumpUntil(const std::function<bool()>& done, DWORD boundMs = 30000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - start > boundMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// Waits (pumping) for ms; for checks that something does NOT happen.
inline void PumpFor(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

// True while the shell holds a tray record for (window, id): only then can the
// record be modified. Works for any process's window.
inline bool ShellHasTrayRecord(HWND window, UINT id)
{
    NOTIFYICONDATAW probe = {};
    probe.cbSize = sizeof(probe);
    probe.hWnd = window;
    probe.uID = id;
    probe.uFlags = NIF_TIP;
    lstrcpynW(probe.szTip, L"Vantrel Glimra", ARRAYSIZE(probe.szTip));
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}
inline bool ShellHasTrayRecord(const NOTIFYICONDATAW& record)
{
    return ShellHasTrayRecord(record.hWnd, record.uID);
}

inline RECT WindowRect(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

inline bool SameRect(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}
