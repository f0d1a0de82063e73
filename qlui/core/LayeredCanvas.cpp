#include "LayeredCanvas.h"

namespace {

HBITMAP CreateTopDownDib(HDC dc, int cx, int cy, void** bits)
{
    *bits = nullptr;
    if (cx <= 0 || cy <= 0)
        return nullptr;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
    if (bitmap == nullptr)
        *bits = nullptr;
    return bitmap;
}

} // namespace

LayeredCanvas::LayeredCanvas(int cx, int cy)
    : m_cx(cx), m_cy(cy), m_screen(nullptr), m_bitmap(CreateTopDownDib(m_screen.get(), cx, cy, &m_bits)),
      m_memDC(m_bitmap ? ::CreateCompatibleDC(m_screen.get()) : nullptr), m_select(m_memDC.get(), m_bitmap.get())
{
    if (m_bits != nullptr)
        m_canvas = std::make_unique<Gdiplus::Bitmap>(cx, cy, cx * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(m_bits));
}

BOOL LayeredCanvas::Present(HWND hwnd, int x, int y)
{
    if (!IsValid())
        return FALSE;
    POINT position = {x, y};
    SIZE size = {m_cx, m_cy};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return ::UpdateLayeredWindow(hwnd, m_screen.get(), &position, &size, m_memDC.get(), &source, 0, &blend,
                                 ULW_ALPHA);
}
