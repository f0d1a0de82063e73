#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "CRect.h"
#include "CString.h"
#include "QLUIExport.h"

// Stateless drawing and loading helpers shared by every window and control.
class QLUI_API MRender {
public:
    // Loaders: the caller owns the returned image; null on any failure.
    static Gdiplus::Image* LoadImageFromFile(CString path);
    static Gdiplus::Image* LoadImageFromFileEx(CString path, int cx, int cy);
    static Gdiplus::Image* LoadImageFromIDResource(UINT id, CString type, HINSTANCE module);
    static HICON LoadIconFromFile(CString path);

    static void DrawImageFrame(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const CRect& dest,
                               int srcX, int srcY, int srcW, int srcH, int corner);
    static void DrawImageFrameMID(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const CRect& dest,
                                  int srcX, int srcY, int srcW, int srcH,
                                  int left, int top, int right, int bottom);

    static int DrawVerticalTransition(HDC& dest, HDC& src, const CRect& destRect, const CRect& srcRect,
                                      int fromPercent, int toPercent);
    static int DrawHorizontalTransition(HDC& dest, HDC& src, const CRect& destRect, const CRect& srcRect,
                                        int fromPercent, int toPercent);
    static void DrawRightBottomTransition(HDC& dest, HDC& src, CRect rect, int size, DWORD unused);

    static void FillSolidRect(HDC& dc, const RECT* rect, COLORREF colour);
    static void FillSolidRect(HDC& dc, int x, int y, int cx, int cy, COLORREF colour);
    static void DrawColor(HDC dc, const RECT& rect, DWORD argb);
    static void DrawGradient(HDC dc, const RECT& rect, DWORD argbFrom, DWORD argbTo, bool vertical, int steps);
    static void DrawRectangle(HDC& dc, const CRect& rect, int a, int b, int c);
    static void DrawRoundRectange(Gdiplus::Graphics& graphics, float x, float y, float width, float height,
                                  float divisor, Gdiplus::Color border, float penWidth, bool fill,
                                  Gdiplus::Color fillColour);
    static void DrawRoundRectange(Gdiplus::Graphics& graphics, float x, float y, float width, float height,
                                  float radius, Gdiplus::Color fillColour);
    static void AddRoundedRectangle(Gdiplus::GraphicsPath& path, float x, float y, float width, float height,
                                    float radius);
    static void DrawTextW(HDC dc, CRect& rect, const wchar_t* text, COLORREF colour, HFONT font, UINT format);

    static HDC CreateCompatibleDC(HDC dc);
    static HBITMAP CreateCompatibleBitmap(HDC dc, int cx, int cy);
    static BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int sx, int sy);
    static BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop);
    // 32-bit bottom-up DIB section; *bits receives the pixels.
    static HBITMAP CreateARGB32Bitmap(HDC dc, int cx, int cy, BYTE** bits);

    static CSize GetTextBounds(const Gdiplus::Font& font, const Gdiplus::StringFormat& format, const CString& text);
    static CSize GetTextBounds(const Gdiplus::Font& font, const CString& text);
    static CSize GetTextBounds(const Gdiplus::Font& font, const Gdiplus::StringFormat& format, int layoutWidth,
                               const CString& text);
    static CPoint GetOriginPoint(int width, int height, int itemWidth, int itemHeight, UINT hAlign, UINT vAlign);
    static CPoint GetOriginPoint(CRect box, int itemWidth, int itemHeight, UINT hAlign, UINT vAlign);
    static CRect GetImageRect(int imageWidth, int imageHeight, CRect box);
    static void RotatePoint(Gdiplus::PointF& point, float degrees, const Gdiplus::PointF& centre);
    static void CheckAlphaColor(DWORD& colour);
    static int SaveBitmapToFile(HBITMAP bitmap, CString path);
};
