#include "LayeredCanvas.h"

LayeredCanvas::LayeredCanvas(int cx, int cy)
    : m_cx(cx), m_cy(cy), m_hScreen(::GetDC(nullptr)), m_hMemDC(nullptr), m_hBitmap(nullptr), m_hDisplaced(nullptr),
      m_bits(nullptr), m_canvas(nullptr)
{
    if (cx <= 0 || cy <= 0)
        return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    m_hBitmap = ::CreateDIBSection(m_hScreen, &info, DIB_RGB_COLORS, &m_bits, nullptr, 0);
    if (m_hBitmap == nullptr) {
        m_bits = nullptr;
        return;
    }
    m_hMemDC = ::CreateCompatibleDC(m_hScreen);
    m_hDisplaced = ::SelectObject(m_hMemDC, m_hBitmap);
    m_canvas = new Gdiplus::Bitmap(cx, cy, cx * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(m_bits));
}

LayeredCanvas::~LayeredCanvas()
{
    delete m_canvas;
    if (m_hMemDC != nullptr) {
        ::SelectObject(m_hMemDC, m_hDisplaced);
        ::DeleteDC(m_hMemDC);
    }
    if (m_hBitmap != nullptr)
        ::DeleteObject(m_hBitmap);
    ::ReleaseDC(nullptr, m_hScreen);
}

BOOL LayeredCanvas::Present(HWND hwnd, int x, int y)
{
    if (!IsValid())
        return FALSE;
    POINT position = {x, y};
    SIZE size = {m_cx, m_cy};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return ::UpdateLayeredWindow(hwnd, m_hScreen, &position, &size, m_hMemDC, &source, 0, &blend, ULW_ALPHA);
}
