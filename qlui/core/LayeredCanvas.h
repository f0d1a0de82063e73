#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "ScopedSelect.h"
#include "UniqueResource.h"
#include "WindowDc.h"

// A top-down 32-bit premultiplied-alpha canvas for a per-pixel-alpha layered
// window: owns the screen DC, the DIB section and the memory DC it is
// selected into, and presents itself with UpdateLayeredWindow.
class LayeredCanvas {
public:
    LayeredCanvas(int cx, int cy);
    LayeredCanvas(const LayeredCanvas&) = delete;
    LayeredCanvas& operator=(const LayeredCanvas&) = delete;

    bool IsValid() const { return m_bits != nullptr; }
    DWORD* Pixels() { return static_cast<DWORD*>(m_bits); }
    // A GDI+ bitmap over the same pixels (premultiplied ARGB).
    Gdiplus::Bitmap* Bitmap() { return m_canvas.get(); }
    // Shows the canvas as the window's content at (x, y) in screen pixels.
    BOOL Present(HWND hwnd, int x, int y);

private:
    int m_cx;
    int m_cy;
    void* m_bits = nullptr;
    WindowDc m_screen;
    UniqueGdiObject m_bitmap;
    UniqueMemoryDc m_memDC;
    ScopedSelect m_select;
    std::unique_ptr<Gdiplus::Bitmap> m_canvas;
};
