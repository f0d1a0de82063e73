#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "CString.h"

// One record of a window's image cache: an image strip and its frame geometry.
// The cache owns the image.
struct ImgResInfo {
    Gdiplus::Image* image;
    int frameWidth;   // image width / frame count
    int frameHeight;  // image height
    int frameCount;
    CString fileName;
};
