#pragma once
#include <windows.h>

#include <functional>

// Pumps this thread's messages for about ms milliseconds.
void PumpMessages(DWORD ms);

// Pumps messages until done() holds, for at most ms milliseconds (a bound for
// a failing test, not a wait a passing one depends on); returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000);

// Puts the real cursor over a client point of hwnd, so that mouse tracking
// sees the pointer inside the window.
void MoveCursorTo(HWND hwnd, int x, int y);

// How many GDI handles the process holds, give or take a constant: a burst of
// brushes takes every free slot of the handle table, so the highest slot it
// reaches grows with each handle that stays alive.
int GdiHandleHighWater();
