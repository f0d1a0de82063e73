#pragma once
#include <windows.h>

// A width and height in pixels; layout-compatible with SIZE.
class CSize : public SIZE {
public:
    CSize() { cx = 0; cy = 0; }
    CSize(int w, int h) { cx = w; cy = h; }
    CSize(const SIZE& s) { cx = s.cx; cy = s.cy; }

    bool operator==(const SIZE& s) const { return cx == s.cx && cy == s.cy; }
    bool operator!=(const SIZE& s) const { return !(*this == s); }
};
