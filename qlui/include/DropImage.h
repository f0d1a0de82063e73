#pragma once
#include <windows.h>

// A drop on a dialog hands the dropped picture to the window as
// STM_SETIMAGE(IMAGE_BITMAP, bitmap). A window that keeps the bitmap answers
// kDropImageKept, or the bitmap it held before, which the sender then frees.
// Any other answer (0, as the default window procedure gives) leaves the
// bitmap with the sender, which frees it.
constexpr LRESULT kDropImageKept = 1;
