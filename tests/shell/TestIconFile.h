#pragma once
#include <windows.h>

#include <string>

// Writes a one-image 32 x 32, 32-bit .ico file filled with one opaque colour.
bool WriteTestIcon(const std::wstring& path, COLORREF color);
