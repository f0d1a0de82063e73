#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

// A top-down 32-bit premultiplied-alpha canvas for a per-pixel-alpha layered
// window: owns the screen DC, the DIB section and the memory DC it is
// selected into, and presents itself with UpdateLayeredWindow.
class LayeredCanvas {
public:
    LayeredCanvas(int cx, int cy);
    ~LayeredCanvas();
    LayeredCanvas(const LayeredCanvas&) = delete;
    LayeredCanvas& operator=(const LayeredCanvas&) = delete;

    bool IsValid() const { return m_bits != nullptr; }
    DWORD* Pixels() { return static_cast<DWORD*>(m_bits); }
    // A GDI+ bitmap over the same pixels (premultiplied ARGB).
    Gdiplus::Bitmap* Bitmap() { return m_canvas; }
    // Shows the canvas as the window's content at (x, y) in screen pixels.
    BOOL Present(HWND hwnd, int x, int y);

private:
    int m_cx;
    int m_cy;
    HDC m_hScreen;
    HDC m_hMemDC;
    HBITMAP m_hBitmap;
    HGDIOBJ m_hDisplaced;
    void* m_bits;
    Gdiplus::Bitmap* m_canvas;
};
