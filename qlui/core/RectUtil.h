#pragma once
#include <windows.h>

// Whether two rectangles share at least one pixel.
inline bool Intersects(const RECT& a, const RECT& b)
{
    RECT common;
    return ::IntersectRect(&common, &a, &b) != FALSE;
}
