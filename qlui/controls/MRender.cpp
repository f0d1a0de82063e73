#include "MRender.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

#include "ComPtr.h"
#include "Manager.h"
#include "ScopedSelect.h"
#include "UniqueResource.h"
#include "WindowDc.h"

using namespace Gdiplus;

namespace {

typedef BOOL(WINAPI* AlphaBlendFn)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
typedef BOOL(WINAPI* GradientFillFn)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

// The two msimg32 entry points, looked up once per process.
struct Msimg32 {
    AlphaBlendFn alphaBlend = nullptr;
    GradientFillFn gradientFill = nullptr;
    Msimg32()
    {
        HMODULE module = ::LoadLibraryW(L"msimg32.dll");
        if (module != nullptr) {
            alphaBlend = reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(::GetProcAddress(module, "AlphaBlend")));
            gradientFill =
                reinterpret_cast<GradientFillFn>(reinterpret_cast<void*>(::GetProcAddress(module, "GradientFill")));
        }
    }
};

const Msimg32& Msimg()
{
    static Msimg32 entries;
    return entries;
}

// Used when msimg32 has no AlphaBlend: constant-alpha blend pixel by pixel.
void FallbackBlend(HDC dest, int x, int y, int cx, int cy, HDC src, int sx, int sy, BYTE alpha)
{
    for (int j = 0; j < cy; ++j) {
        for (int i = 0; i < cx; ++i) {
            COLORREF s = ::GetPixel(src, sx + i, sy + j);
            COLORREF d = ::GetPixel(dest, x + i, y + j);
            auto mix = [alpha](int a, int b) { return static_cast<BYTE>((a * alpha + b * (255 - alpha)) / 255); };
            ::SetPixel(dest, x + i, y + j,
                       RGB(mix(GetRValue(s), GetRValue(d)), mix(GetGValue(s), GetGValue(d)),
                           mix(GetBValue(s), GetBValue(d))));
        }
    }
}

void BlendConstant(HDC dest, int x, int y, int cx, int cy, HDC src, int sx, int sy, BYTE alpha)
{
    if (Msimg().alphaBlend != nullptr) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
        Msimg().alphaBlend(dest, x, y, cx, cy, src, sx, sy, cx, cy, blend);
    } else {
        FallbackBlend(dest, x, y, cx, cy, src, sx, sy, alpha);
    }
}

struct LineAlphas {
    double e;
    double f;
    double g;
    bool rising;
};

LineAlphas TransitionAlphas(int a, int b, int n)
{
    LineAlphas r;
    r.e = 255.0 - std::min(a, b) * 255.0 / 100.0;
    r.f = (100.0 - std::max(a, b)) * 255.0 / 100.0;
    r.g = (static_cast<int>(r.e) - static_cast<int>(r.f)) / static_cast<double>(n);
    r.rising = a < b;
    return r;
}

int LineAlpha(const LineAlphas& r, int i)
{
    double value = r.rising ? static_cast<int>(r.e) - i * r.g : static_cast<int>(r.f) + i * r.g;
    return std::clamp(static_cast<int>(value), 0, 255);
}

BYTE Channel(DWORD argb, int shift) { return static_cast<BYTE>((argb >> shift) & 0xFF); }

void FillBands(HDC dc, const RECT& rect, DWORD from, DWORD to, bool vertical, int steps)
{
    int k = steps < 4 ? 1 : steps < 8 ? 2 : steps < 16 ? 3 : steps < 32 ? 4 : steps < 64 ? 5 : 6;
    int bands = 1 << k;
    int span = vertical ? rect.bottom - rect.top : rect.right - rect.left;
    for (int band = bands - 1; band >= 0; --band) {
        auto lerp = [band, bands](int a, int b) { return a + (b - a) * band / (bands - 1); };
        COLORREF colour = RGB(lerp(Channel(from, 16), Channel(to, 16)), lerp(Channel(from, 8), Channel(to, 8)),
                              lerp(Channel(from, 0), Channel(to, 0)));
        RECT piece = rect;
        int start = span * band / bands;
        int end = span * (band + 1) / bands;
        if (vertical) {
            piece.top = rect.top + start;
            piece.bottom = rect.top + end;
        } else {
            piece.left = rect.left + start;
            piece.right = rect.left + end;
        }
        UniqueGdiObject brush(::CreateSolidBrush(colour));
        ::FillRect(dc, &piece, static_cast<HBRUSH>(brush.get()));
    }
}

REAL LineHeight(const Font& font) { return font.GetHeight(96.0f); }

bool HasFraction(REAL value) { return value != std::floor(value); }

} // namespace

Image* MRender::LoadImageFromFile(CString path)
{
    auto* image = new Image(path.GetString());
    if (image->GetLastStatus() != Ok) {
        delete image;
        return nullptr;
    }
    return image;
}

Image* MRender::LoadImageFromFileEx(CString path, int cx, int cy)
{
    std::unique_ptr<Image> full(LoadImageFromFile(path));
    if (!full)
        return nullptr;
    if (cx == 0 && cy == 0) {
        cx = static_cast<int>(full->GetWidth());
        cy = static_cast<int>(full->GetHeight());
    }
    Image* thumb = full->GetThumbnailImage(static_cast<UINT>(cx), static_cast<UINT>(cy), nullptr, nullptr);
    if (thumb != nullptr && thumb->GetLastStatus() != Ok) {
        delete thumb;
        return nullptr;
    }
    return thumb;
}

Image* MRender::LoadImageFromIDResource(UINT id, CString type, HINSTANCE module)
{
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type.GetString());
    if (found == nullptr)
        return nullptr;
    DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0)
        return nullptr;
    UniqueGlobalMemory block(::GlobalAlloc(GMEM_FIXED, size));
    if (!block)
        return nullptr;
    std::memcpy(block.get(), bytes, size);
    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(block.get(), TRUE, stream.put())))
        return nullptr;
    // The stream frees the block when its last reference (the image's) goes.
    block.release();
    auto image = std::make_unique<Image>(stream.get());
    if (image->GetLastStatus() != Ok)
        return nullptr;
    return image.release();
}

HICON MRender::LoadIconFromFile(CString path)
{
    wchar_t buffer[MAX_PATH] = {};
    lstrcpynW(buffer, path.GetString(), MAX_PATH);
    WORD index = 0;
    return ::ExtractAssociatedIconW(Manager::GetInstance(), buffer, &index);
}

void MRender::DrawImageFrame(Graphics& graphics, Image* image, const CRect& dest, int srcX, int srcY, int srcW,
                             int srcH, int corner)
{
    DrawImageFrameMID(graphics, image, dest, srcX, srcY, srcW, srcH, corner, corner, corner, corner);
}

void MRender::DrawImageFrameMID(Graphics& graphics, Image* image, const CRect& dest, int x, int y, int w, int h,
                                int l, int t, int r, int b)
{
    if (image == nullptr)
        return;
    const int L = dest.left, T = dest.top, R = dest.right, B = dest.bottom;
    auto piece = [&](int dx, int dy, int dw, int dh, int sx, int sy, int sw, int sh) {
        graphics.DrawImage(image, Rect(dx, dy, dw, dh), sx, sy, sw, sh, UnitPixel);
    };
    piece(L, T, l, t, x, y, l, t);
    piece(L, T + t, l, B - T - t - b, x, y + t, l, h - t - b);
    piece(L, B - b, l, b, x, y + h - b, l, b);
    piece(L + l, T, R - L - l - r, t, x + l, y, w - l - r, t);
    piece(R - r, T, r, t, x + w - r, y, r, t);
    piece(R - r, T + t, r, B - T - t - b, x + w - r, y + t, r, h - t - b);
    piece(R - r, B - b, r, b, x + w - r, y + h - b, r, b);
    piece(L + l, B - b, R - L - l - r, b, x + l, y + h - b, w - l - r, b);
    piece(L + l, T + t, R - L - l - r, B - T - t - b, x + l, y + t, w - l - r, h - t - b);
}

int MRender::DrawVerticalTransition(HDC& dest, HDC& src, const CRect& destRect, const CRect& srcRect,
                                    int fromPercent, int toPercent)
{
    int n = destRect.Height();
    if (n <= 0 || destRect.Width() <= 0)
        return 255;
    LineAlphas alphas = TransitionAlphas(fromPercent, toPercent, n);
    int alpha = 255;
    for (int i = 0; i < n; ++i) {
        alpha = LineAlpha(alphas, i);
        BlendConstant(dest, destRect.left, destRect.top + i, destRect.Width(), 1, src, srcRect.left, srcRect.top + i,
                      static_cast<BYTE>(alpha));
    }
    return alpha;
}

int MRender::DrawHorizontalTransition(HDC& dest, HDC& src, const CRect& destRect, const CRect& srcRect,
                                      int fromPercent, int toPercent)
{
    int n = destRect.Width();
    if (n <= 0 || destRect.Height() <= 0)
        return 255;
    LineAlphas alphas = TransitionAlphas(fromPercent, toPercent, n);
    int alpha = 255;
    for (int i = 0; i < n; ++i) {
        alpha = LineAlpha(alphas, i);
        BlendConstant(dest, destRect.left + i, destRect.top, 1, destRect.Height(), src, srcRect.left + i, srcRect.top,
                      static_cast<BYTE>(alpha));
    }
    return alpha;
}

void MRender::DrawRightBottomTransition(HDC& dest, HDC& src, CRect rect, int size, DWORD)
{
    if (size <= 0)
        return;
    int w = rect.Width();
    int h = rect.Height();
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            double distance = std::min(static_cast<double>(size), std::sqrt(static_cast<double>(i * i + j * j)));
            int alpha = static_cast<int>(255.0 - 255.0 / size * distance);
            BlendConstant(dest, w - size + i, h - size + j, 1, 1, src, w - size + i, h - size + j,
                          static_cast<BYTE>(std::clamp(alpha, 0, 255)));
        }
    }
}

void MRender::FillSolidRect(HDC& dc, const RECT* rect, COLORREF colour)
{
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
}

void MRender::FillSolidRect(HDC& dc, int x, int y, int cx, int cy, COLORREF colour)
{
    RECT rect = {x, y, x + cx, y + cy};
    FillSolidRect(dc, &rect, colour);
}

void MRender::DrawColor(HDC dc, const RECT& rect, DWORD argb)
{
    if ((argb >> 24) == 0)
        return;
    Graphics graphics(dc);
    SolidBrush brush{Color(argb)};
    graphics.FillRectangle(&brush, Rect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top));
}

void MRender::DrawGradient(HDC dc, const RECT& rect, DWORD argbFrom, DWORD argbTo, bool vertical, int steps)
{
    int alpha = (Channel(argbFrom, 24) + Channel(argbTo, 24)) / 2;
    if (alpha == 0)
        return;
    int cx = rect.right - rect.left;
    int cy = rect.bottom - rect.top;
    if (cx <= 0 || cy <= 0)
        return;
    HDC target = dc;
    RECT area = rect;
    // A translucent gradient is drawn opaque beside the target and blended in.
    UniqueMemoryDc tempDC;
    UniqueGdiObject tempBitmap;
    std::optional<ScopedSelect> selected;
    if (alpha < 255) {
        tempDC.reset(::CreateCompatibleDC(dc));
        tempBitmap.reset(::CreateCompatibleBitmap(dc, cx, cy));
        selected.emplace(tempDC.get(), tempBitmap.get());
        target = tempDC.get();
        area = {0, 0, cx, cy};
    }
    if (Msimg().gradientFill != nullptr) {
        TRIVERTEX vertices[2] = {};
        vertices[0].x = area.left;
        vertices[0].y = area.top;
        vertices[0].Red = static_cast<COLOR16>(Channel(argbFrom, 16) << 8);
        vertices[0].Green = static_cast<COLOR16>(Channel(argbFrom, 8) << 8);
        vertices[0].Blue = static_cast<COLOR16>(Channel(argbFrom, 0) << 8);
        vertices[0].Alpha = 0xFF00;
        vertices[1].x = area.right;
        vertices[1].y = area.bottom;
        vertices[1].Red = static_cast<COLOR16>(Channel(argbTo, 16) << 8);
        vertices[1].Green = static_cast<COLOR16>(Channel(argbTo, 8) << 8);
        vertices[1].Blue = static_cast<COLOR16>(Channel(argbTo, 0) << 8);
        vertices[1].Alpha = 0xFF00;
        GRADIENT_RECT piece = {0, 1};
        Msimg().gradientFill(target, vertices, 2, &piece, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
    } else {
        FillBands(target, area, argbFrom, argbTo, vertical, steps);
    }
    if (tempDC)
        BlendConstant(dc, rect.left, rect.top, cx, cy, tempDC.get(), 0, 0, static_cast<BYTE>(alpha));
}

void MRender::DrawRectangle(HDC&, const CRect&, int, int, int) {}

void MRender::DrawRoundRectange(Graphics& graphics, float x, float y, float width, float height, float divisor,
                                Color border, float penWidth, bool fill, Color fillColour)
{
    float rx = width / divisor / 2.0f;
    float ry = height / divisor / 2.0f;
    if (std::fabs(rx - ry) > 10.0f)
        rx = ry = std::min(rx, ry);
    GraphicsPath path;
    path.AddLine(x + rx, y, x + width - rx, y);
    path.AddArc(x + width - 2 * rx, y, 2 * rx, 2 * ry, 270.0f, 90.0f);
    path.AddLine(x + width, y + ry, x + width, y + height - ry);
    path.AddArc(x + width - 2 * rx, y + height - 2 * ry, 2 * rx, 2 * ry, 0.0f, 90.0f);
    path.AddLine(x + width - rx, y + height, x + rx, y + height);
    path.AddArc(x, y + height - 2 * ry, 2 * rx, 2 * ry, 90.0f, 90.0f);
    path.AddLine(x, y + height - ry, x, y + ry);
    path.AddArc(x, y, 2 * rx, 2 * ry, 180.0f, 90.0f);
    path.CloseFigure();
    if (fill) {
        SolidBrush brush(fillColour);
        graphics.FillPath(&brush, &path);
    }
    Pen pen(border, penWidth);
    graphics.DrawPath(&pen, &path);
}

void MRender::DrawRoundRectange(Graphics& graphics, float x, float y, float width, float height, float radius,
                                Color fillColour)
{
    float r = radius;
    GraphicsPath path;
    path.AddLine(x + r, y, x + width - r, y);
    path.AddArc(x + width - 2 * r, y, 2 * r, 2 * r, 270.0f, 90.0f);
    path.AddLine(x + width, y + r, x + width, y + height - r);
    path.AddArc(x + width - 2 * r, y + height - 2 * r, 2 * r, 2 * r, 0.0f, 90.0f);
    path.AddLine(x + width - r, y + height, x + r, y + height);
    path.AddArc(x, y + height - 2 * r, 2 * r, 2 * r, 90.0f, 90.0f);
    path.AddLine(x, y + height - r, x, y + r);
    path.AddArc(x, y, 2 * r, 2 * r, 180.0f, 90.0f);
    path.CloseFigure();
    SolidBrush brush(fillColour);
    graphics.FillPath(&brush, &path);
}

void MRender::AddRoundedRectangle(GraphicsPath& path, float x, float y, float width, float height, float radius)
{
    float d = 2 * radius;
    path.StartFigure();
    path.AddArc(x, y, d, d, 180.0f, 90.0f);
    path.AddArc(x + width - d, y, d, d, 270.0f, 90.0f);
    path.AddArc(x + width - d, y + height - d, d, d, 0.0f, 90.0f);
    path.AddArc(x, y + height - d, d, d, 90.0f, 90.0f);
    path.CloseFigure();
}

void MRender::DrawTextW(HDC dc, CRect& rect, const wchar_t* text, COLORREF colour, HFONT font, UINT format)
{
    if (text == nullptr)
        return;
    int oldMode = ::SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = ::SetTextColor(dc, colour);
    HGDIOBJ oldFont = ::SelectObject(dc, font);
    ::DrawTextW(dc, text, -1, &rect, format);
    ::SelectObject(dc, oldFont);
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
}

HDC MRender::CreateCompatibleDC(HDC dc) { return ::CreateCompatibleDC(dc); }
HBITMAP MRender::CreateCompatibleBitmap(HDC dc, int cx, int cy) { return ::CreateCompatibleBitmap(dc, cx, cy); }

BOOL MRender::BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int sx, int sy)
{
    return ::BitBlt(dest, x, y, cx, cy, src, sx, sy, SRCCOPY);
}

BOOL MRender::BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop)
{
    return ::BitBlt(dest, x, y, cx, cy, src, sx, sy, rop);
}

HBITMAP MRender::CreateARGB32Bitmap(HDC dc, int cx, int cy, BYTE** bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(cx * cy);
    void* pixels = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bits != nullptr)
        *bits = static_cast<BYTE*>(pixels);
    return bitmap;
}

CSize MRender::GetTextBounds(const Font& font, const StringFormat& format, const CString& text)
{
    FontFamily family;
    font.GetFamily(&family);
    GraphicsPath path;
    path.AddString(text.GetString(), text.GetLength(), &family, font.GetStyle(), font.GetSize(), PointF(0, 0), &format);
    RectF bounds;
    path.GetBounds(&bounds);
    REAL line = LineHeight(font);
    int height = static_cast<int>(line + (HasFraction(line) ? 4.0f : 1.0f));
    return CSize(static_cast<int>(std::ceil(bounds.Width)), height);
}

CSize MRender::GetTextBounds(const Font& font, const CString& text)
{
    StringFormat format;
    format.SetAlignment(StringAlignmentNear);
    format.SetFormatFlags(0x1800);
    return GetTextBounds(font, format, text);
}

CSize MRender::GetTextBounds(const Font& font, const StringFormat& format, int layoutWidth, const CString& text)
{
    FontFamily family;
    font.GetFamily(&family);
    GraphicsPath path;
    RectF layout(0, 0, static_cast<REAL>(layoutWidth), 0);
    path.AddString(text.GetString(), text.GetLength(), &family, font.GetStyle(), font.GetSize(), layout, &format);
    RectF bounds;
    path.GetBounds(&bounds);
    REAL line = LineHeight(font);
    int t = static_cast<int>(line + (HasFraction(line) ? 2.0f : 1.0f));
    int u = static_cast<int>(bounds.Height + (HasFraction(bounds.Height) ? 2.0f : 1.0f));
    return CSize(static_cast<int>(std::ceil(bounds.Width)), u > t ? u + 5 : t + 1);
}

CPoint MRender::GetOriginPoint(int width, int height, int itemWidth, int itemHeight, UINT hAlign, UINT vAlign)
{
    int x = hAlign == 1 ? (width - itemWidth) / 2 : hAlign == 2 ? width - itemWidth : 0;
    int y = vAlign == 4 ? (height - itemHeight) / 2 : vAlign == 8 ? height - itemHeight : 0;
    return CPoint(x, y);
}

CPoint MRender::GetOriginPoint(CRect box, int itemWidth, int itemHeight, UINT hAlign, UINT vAlign)
{
    CPoint offset = GetOriginPoint(box.Width(), box.Height(), itemWidth, itemHeight, hAlign, vAlign);
    return CPoint(box.left + offset.x, box.top + offset.y + 2);
}

CRect MRender::GetImageRect(int imageWidth, int imageHeight, CRect box)
{
    int w = imageWidth;
    int h = imageHeight;
    int W = box.Width();
    int H = box.Height();
    // An image that overhangs either side shrinks by the tighter ratio, so it
    // fits on both.
    if ((w > W || h > H) && w > 0 && h > 0) {
        if (static_cast<long long>(w) * H > static_cast<long long>(h) * W) {
            h = W * h / w;
            w = W;
        } else {
            w = H * w / h;
            h = H;
        }
    }
    int left = box.left + (W - w) / 2;
    int top = box.top + (H - h) / 2;
    return CRect(left, top, left + w, top + h);
}

void MRender::RotatePoint(PointF& point, float degrees, const PointF& centre)
{
    double radians = degrees * 3.1415926 / 180.0;
    double c = std::cos(radians);
    double s = std::sin(radians);
    double dx = point.X - centre.X;
    double dy = point.Y - centre.Y;
    point.X = static_cast<REAL>(dx * c - dy * s + centre.X);
    point.Y = static_cast<REAL>(dy * c + dx * s + centre.Y);
}

void MRender::CheckAlphaColor(DWORD& colour)
{
    if ((colour & 0x00FFFFFF) == 0)
        colour += 1;
}

int MRender::SaveBitmapToFile(HBITMAP bitmap, CString path)
{
    // Every display of more than 8 bits per pixel gives 24; the rare palette
    // displays would need a colour table this layout does not carry, so they get 24 too.
    const WORD bitCount = 24;

    BITMAP info = {};
    if (::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return 0;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = info.bmWidth;
    header.biHeight = info.bmHeight;
    header.biPlanes = 1;
    header.biBitCount = bitCount;
    header.biCompression = BI_RGB;
    DWORD rowBytes = ((bitCount * static_cast<DWORD>(info.bmWidth) + 31) / 32) * 4;
    DWORD pixelBytes = rowBytes * static_cast<DWORD>(std::abs(info.bmHeight));
    std::unique_ptr<BYTE[]> pixels(new BYTE[pixelBytes]);

    {
        WindowDc screen(nullptr);
        HDC dc = screen.get();
        HPALETTE oldPalette = ::SelectPalette(dc, static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE)), FALSE);
        ::RealizePalette(dc);
        ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(std::abs(info.bmHeight)), pixels.get(),
                    reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
        ::SelectPalette(dc, oldPalette, TRUE);
        ::RealizePalette(dc);
    }
    header.biSizeImage = 0;

    UniqueHandle file(::CreateFileW(path.GetString(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return 0;
    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfSize = pixelBytes + 54;
    fileHeader.bfOffBits = 54;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file.get(), &fileHeader, sizeof(fileHeader), &written, nullptr)
              && ::WriteFile(file.get(), &header, sizeof(header), &written, nullptr)
              && ::WriteFile(file.get(), pixels.get(), pixelBytes, &written, nullptr);
    return ok ? 1 : 0;
}
