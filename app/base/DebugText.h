#pragma once

#include <windows.h>

#include <cwchar>

// A formatted line for the debugger's output (DebugView on a user's PC): what
// the update checks and the device worker decided, and why.
template <typename... Args>
void DebugText(const wchar_t* format, Args... args)
{
    wchar_t text[256];
    swprintf(text, sizeof text / sizeof text[0], format, args...);
    OutputDebugStringW(text);
}
