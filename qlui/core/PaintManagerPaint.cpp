// PaintManager: the paint cycle, invalidation and the window background.
#include "PaintManager.h"

#include <algorithm>

#include "MControl.h"
#include "MRender.h"
#include "Manager.h"
#include "PaintDc.h"
#include "RectUtil.h"
#include "ScopedLock.h"
#include "ScopedSelect.h"
#include "UniqueResource.h"
#include "WindowDc.h"

namespace {

// Pixel (x, y) of a bottom-up 32-bit DIB of width cx and height cy.
BYTE* PixelAt(BYTE* bits, int cx, int cy, int x, int y)
{
    return bits + (static_cast<size_t>(cy - 1 - y) * static_cast<size_t>(cx) + static_cast<size_t>(x)) * 4;
}

// c x a / 255, rounded.
DWORD Premultiply(DWORD channel, DWORD alpha) { return (channel * alpha + 127) / 255; }

// The colour at alpha 254, premultiplied for a layered frame.
DWORD Argb254(COLORREF colour, bool premultiplied)
{
    DWORD a = 0xFE;
    DWORD r = GetRValue(colour);
    DWORD g = GetGValue(colour);
    DWORD b = GetBValue(colour);
    if (premultiplied) {
        r = Premultiply(r, a);
        g = Premultiply(g, a);
        b = Premultiply(b, a);
    }
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A layered window takes premultiplied pixels. GDI leaves alpha at 0 where it
// draws, so such pixels become opaque; a colour channel above its alpha (GDI
// or GDI+ drawing over a translucent pixel) is brought down to it.
void FinishLayeredPixels(BYTE* bits, int cx, int cy, const CRect& rect)
{
    for (int y = rect.top; y < rect.bottom; ++y) {
        BYTE* pixel = PixelAt(bits, cx, cy, rect.left, y);
        for (int x = rect.left; x < rect.right; ++x, pixel += 4) {
            if (pixel[3] == 0 && (pixel[0] | pixel[1] | pixel[2]) != 0)
                pixel[3] = 255;
            for (int c = 0; c < 3; ++c)
                pixel[c] = std::min(pixel[c], pixel[3]);
        }
    }
}

void FillPixels(BYTE* bits, int cx, int cy, const CRect& rect, DWORD argb)
{
    for (int y = rect.top; y < rect.bottom; ++y) {
        auto* row = reinterpret_cast<DWORD*>(PixelAt(bits, cx, cy, rect.left, y));
        std::fill(row, row + rect.Width(), argb);
    }
}

// Replaces the background image with a loaded one (none when loading failed).
BOOL TakeBackImage(Gdiplus::Image* loaded, Gdiplus::Image*& image, int& width, int& height)
{
    delete image;
    image = loaded;
    if (image == nullptr)
        return FALSE;
    width = static_cast<int>(image->GetWidth());
    height = static_cast<int>(image->GetHeight());
    return TRUE;
}

} // namespace

LRESULT PaintManager::OnPaint()
{
    if (::IsIconic(m_hWndPaint))
        return 1;
    CRect update;
    if (!::GetUpdateRect(m_hWndPaint, &update, FALSE))
        return 0;
    CRect client;
    ::GetClientRect(m_hWndPaint, &client);
    int cx = client.Width();
    int cy = client.Height();

    {
        PaintDc paintDC(m_hWndPaint);
        WindowDc screenDC(m_hWndPaint);
        UniqueMemoryDc memDC(::CreateCompatibleDC(screenDC.get()));
        BYTE* bits = nullptr;
        UniqueGdiObject frame(cx > 0 && cy > 0 ? MRender::CreateARGB32Bitmap(screenDC.get(), cx, cy, &bits)
                                               : nullptr);
        if (frame && bits != nullptr) {
            ScopedSelect select(memDC.get(), frame.get());
            int saved = ::SaveDC(memDC.get());
            RenderFrame(memDC.get(), bits, cx, cy, update);
            ::RestoreDC(memDC.get(), saved);
            if (m_bLayered) {
                LONG exStyle = ::GetWindowLongW(m_hWndPaint, GWL_EXSTYLE);
                if (!(exStyle & WS_EX_LAYERED))
                    ::SetWindowLongW(m_hWndPaint, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
                SIZE size = {cx, cy};
                POINT source = {0, 0};
                BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
                ::UpdateLayeredWindow(m_hWndPaint, screenDC.get(), nullptr, &size, memDC.get(), &source, 0, &blend,
                                      ULW_ALPHA);
            } else {
                ::BitBlt(paintDC.get(), update.left, update.top, update.Width(), update.Height(), memDC.get(),
                         update.left, update.top, SRCCOPY);
            }
        }
    }
    if (m_nPaintPause > 0)
        ::Sleep(m_nPaintPause);
    return 1;
}

void PaintManager::RenderFrame(HDC memDC, BYTE* bits, int cx, int cy, const CRect& requested)
{
    CRect client(0, 0, cx, cy);
    CRect update;
    if (!update.IntersectRect(&requested, &client))
        return;
    if (m_bLayered) {
        for (int y = update.top; y < update.bottom; ++y)
            ZeroMemory(PixelAt(bits, cx, cy, update.left, y), static_cast<size_t>(update.Width()) * 4);
    }
    if (m_pBkImage != nullptr) {
        // GDI+ writes the frame's pixels directly: premultiplied for a layered
        // window, straight otherwise (alpha is not shown there).
        int stride = cx * 4;
        Gdiplus::Bitmap surface(cx, cy, -stride, m_bLayered ? PixelFormat32bppPARGB : PixelFormat32bppARGB,
                                bits + static_cast<size_t>(cy - 1) * stride);
        Gdiplus::Graphics graphics(&surface);
        DrawBackImage(graphics, client);
        graphics.Flush(Gdiplus::FlushIntentionSync);
    } else {
        // A 1-pixel border around the fill, both at alpha 254, written straight
        // into the frame (a solid fill over a fresh frame needs no blending).
        FillPixels(bits, cx, cy, client, Argb254(m_crBorder, m_bLayered));
        FillPixels(bits, cx, cy, CRect(1, 1, cx - 1, cy - 1), Argb254(m_crFill, m_bLayered));
    }
    CRect target = m_bLayered ? client : update;
    DrawControl(memDC, target);
    DrawMessageStrip(memDC, target);
    DrawCaret(memDC, target);
    ::GdiFlush();
    if (m_bLayered)
        FinishLayeredPixels(bits, cx, cy, update);
    if (m_pPaintObserver != nullptr)
        m_pPaintObserver(m_pPaintObserverUser, bits, cx, cy, update);
}

void PaintManager::SetPaintObserver(PaintObserver observer, void* user)
{
    m_pPaintObserver = observer;
    m_pPaintObserverUser = user;
}

void PaintManager::DrawBackImage(Gdiplus::Graphics& graphics, const CRect& client)
{
    if (m_backMode == BACKMODE_STRETCH) {
        graphics.DrawImage(m_pBkImage, Gdiplus::Rect(0, 0, client.Width(), client.Height()), 0, 0, m_nBkWidth,
                           m_nBkHeight, Gdiplus::UnitPixel);
    } else if (m_backMode == BACKMODE_FRAME) {
        MRender::DrawImageFrame(graphics, m_pBkImage, client, 0, 0, m_nBkWidth, m_nBkHeight, m_nBackParam);
    }
}

void PaintManager::DrawControl(HDC dc, const CRect& rect)
{
    HDC target = dc;
    {
        ScopedLock lock(m_csAreas);
        for (size_t i = 0; i < m_areas.size(); ++i)
            m_areas[i]->Draw(target, rect);
    }
    ScopedLock lock(m_csControls);
    for (size_t i = 0; i < m_controls.size(); ++i)
        m_controls[i]->Draw(target, rect);
}

void PaintManager::Invalidate()
{
    if (m_hWndPaint != nullptr)
        ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

void PaintManager::InvalidateRect(CRect rect, BOOL erase)
{
    if (m_hWndPaint == nullptr)
        return;
    if (m_bLayered)
        ::InvalidateRect(m_hWndPaint, nullptr, TRUE);
    else
        ::InvalidateRect(m_hWndPaint, &rect, erase);
}

LRESULT PaintManager::OnControlUpdate(CRect rect, BOOL mark, MControl* control)
{
    if (control == nullptr)
        return 0;
    if (mark)
        control->SetUpdate(0, m_crFill);
    CRect region = rect;
    if (m_bInit) {
        bool above = false;
        for (auto [list, cs] : {std::pair{&m_areas, &m_csAreas}, std::pair{&m_controls, &m_csControls}}) {
            ScopedLock lock(*cs);
            for (size_t i = 0; i < list->size(); ++i) {
                MControl* other = (*list)[i];
                if (other == control) {
                    above = true;
                    continue;
                }
                CRect otherRect = other->GetRect();
                if (above && other->IsVisible() && Intersects(otherRect, rect)) {
                    other->SetUpdate(0, m_crFill);
                    region.UnionRect(&region, &otherRect);
                }
            }
        }
    }
    if (m_hWndPaint != nullptr) {
        if (m_bLayered)
            ::InvalidateRect(m_hWndPaint, nullptr, TRUE);
        else
            ::InvalidateRect(m_hWndPaint, &region, FALSE);
    }
    return 0;
}

HBITMAP PaintManager::GetDropBitmap(MControl* control, const CRect& rect, COLORREF colour)
{
    if (control == nullptr)
        return nullptr;
    CRect controlRect = control->GetRect();
    WindowDc screen(m_hWndPaint);
    UniqueMemoryDc drawDC(::CreateCompatibleDC(screen.get()));
    UniqueGdiObject canvas(::CreateCompatibleBitmap(screen.get(), controlRect.right, controlRect.bottom));
    ScopedSelect selectCanvas(drawDC.get(), canvas.get());
    HDC drawTarget = drawDC.get();
    MRender::FillSolidRect(drawTarget, 0, 0, controlRect.right, controlRect.bottom, colour);
    control->Draw(drawTarget, controlRect);

    UniqueMemoryDc copyDC(::CreateCompatibleDC(screen.get()));
    HBITMAP result = MRender::CreateARGB32Bitmap(screen.get(), rect.Width(), rect.Height(), nullptr);
    ScopedSelect selectResult(copyDC.get(), result);
    ::BitBlt(copyDC.get(), 0, 0, rect.Width(), rect.Height(), drawDC.get(), controlRect.left + rect.left,
             controlRect.top + rect.top, SRCCOPY);
    return result;
}

BOOL PaintManager::LoadBKImage(CString file)
{
    return TakeBackImage(MRender::LoadImageFromFile(GetSkinFolder() + file), m_pBkImage, m_nBkWidth, m_nBkHeight);
}

BOOL PaintManager::LoadBKImage(UINT id, CString type)
{
    return TakeBackImage(MRender::LoadImageFromIDResource(id, type, Manager::GetInstance()), m_pBkImage, m_nBkWidth,
                         m_nBkHeight);
}

void PaintManager::SetBackMode(enumBackMode mode, int param)
{
    m_backMode = mode;
    m_nBackParam = param;
}

void PaintManager::SetBackColor(COLORREF fill, COLORREF border)
{
    m_crFill = fill;
    m_crBorder = border;
}
