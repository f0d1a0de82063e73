// Drawing and loading helpers, checked in real bitmaps.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "MImageList.h"
#include "MRender.h"
#include "Manager.h"

using namespace Gdiplus;

namespace {

// A 32-bit DIB section selected into its own memory DC.
class Canvas {
public:
    Canvas(int cx, int cy) : m_cx(cx), m_cy(cy)
    {
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bitmap = MRender::CreateARGB32Bitmap(m_dc, cx, cy, &m_bits);
        m_old = ::SelectObject(m_dc, m_bitmap);
    }
    ~Canvas()
    {
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    HDC& dc() { return m_dc; }
    HBITMAP bitmap() const { return m_bitmap; }
    // 0xAARRGGBB of pixel (x, y); the DIB is bottom-up.
    DWORD At(int x, int y) const
    {
        ::GdiFlush();
        return reinterpret_cast<const DWORD*>(m_bits)[(m_cy - 1 - y) * m_cx + x];
    }
    void Fill(DWORD argb)
    {
        for (int i = 0; i < m_cx * m_cy; ++i)
            reinterpret_cast<DWORD*>(m_bits)[i] = argb;
    }

private:
    int m_cx, m_cy;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    BYTE* m_bits = nullptr;
};

// A 12 x 12 source whose nine 4 x 4 regions each have their own colour.
std::unique_ptr<Bitmap> NineRegionSource(const ARGB colours[9])
{
    auto image = std::make_unique<Bitmap>(12, 12, PixelFormat32bppARGB);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            image->SetPixel(x, y, Color(colours[(y / 4) * 3 + x / 4]));
    return image;
}

DWORD Rgb(DWORD argb) { return argb & 0x00FFFFFF; }

CString TempPath(const wchar_t* name)
{
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    return CString(dir) + name;
}

} // namespace

TEST(MRender, NineSlicePiecesLandWhereTheNineCallsSay)
{
    const ARGB colours[9] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF,
                             0xFFFF00FF, 0xFF800000, 0xFF008000, 0xFF000080};
    auto source = NineRegionSource(colours);
    Bitmap target(64, 48, PixelFormat32bppARGB);
    {
        Graphics graphics(&target);
        graphics.Clear(Color(0, 0, 0, 0));
        graphics.SetInterpolationMode(InterpolationModeNearestNeighbor);
        graphics.SetPixelOffsetMode(PixelOffsetModeHalf);
        // Destination (8, 8)-(56, 40): edges stretched 4 -> 40 and 4 -> 24 (10x and 6x).
        MRender::DrawImageFrame(graphics, source.get(), CRect(8, 8, 56, 40), 0, 0, 12, 12, 4);
    }
    auto at = [&](int x, int y) {
        Color c;
        target.GetPixel(x, y, &c);
        return c.GetValue();
    };
    // Centre of each destination piece: columns 8..12, 12..52, 52..56; rows 8..12, 12..36, 36..40.
    const int xs[3] = {10, 32, 54};
    const int ys[3] = {10, 24, 38};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            EXPECT_EQ(colours[row * 3 + col], at(xs[col], ys[row])) << "piece " << row << "," << col;
    // Piece borders: the unscaled corners exactly, the stretched centre one
    // pixel inside (GDI+ under Wine may leave a stretched piece's first
    // column and row empty).
    EXPECT_EQ(colours[0], at(8, 8));
    EXPECT_EQ(colours[0], at(11, 11));
    EXPECT_EQ(colours[4], at(13, 13));
    EXPECT_EQ(colours[4], at(51, 35));
    EXPECT_EQ(colours[8], at(52, 36));
    EXPECT_EQ(colours[8], at(55, 39));
    // Nothing outside the destination.
    EXPECT_EQ(0u, at(7, 20) >> 24);
    EXPECT_EQ(0u, at(56, 20) >> 24);
    EXPECT_EQ(0u, at(30, 40) >> 24);
}

TEST(MRender, NineSliceWithSeparateMarginsAndSourceOffset)
{
    // Source sub-rectangle (12, 0, 12, 12) of a 24 x 12 strip: the second frame.
    Bitmap strip(24, 12, PixelFormat32bppARGB);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 24; ++x)
            strip.SetPixel(x, y, Color(x < 12 ? 0xFF101010 : (x < 14 ? 0xFFFF0000 : (x >= 22 ? 0xFF0000FF : 0xFF00FF00))));
    Bitmap target(40, 20, PixelFormat32bppARGB);
    {
        Graphics graphics(&target);
        graphics.Clear(Color(0, 0, 0, 0));
        graphics.SetInterpolationMode(InterpolationModeNearestNeighbor);
        graphics.SetPixelOffsetMode(PixelOffsetModeHalf);
        // Left margin 2, right margin 2, top and bottom 0: the middle 8 columns stretch to 32 (4x).
        MRender::DrawImageFrameMID(graphics, &strip, CRect(2, 4, 38, 16), 12, 0, 12, 12, 2, 0, 2, 0);
    }
    Color c;
    target.GetPixel(3, 10, &c);
    EXPECT_EQ(0xFFFF0000u, c.GetValue());
    target.GetPixel(20, 10, &c);
    EXPECT_EQ(0xFF00FF00u, c.GetValue());
    target.GetPixel(37, 10, &c);
    EXPECT_EQ(0xFF0000FFu, c.GetValue());
    target.GetPixel(20, 2, &c);
    EXPECT_EQ(0u, c.GetAlpha());
}

TEST(MRender, ImageRectFitsAndCentres)
{
    EXPECT_EQ(CRect(45, 30, 55, 70), MRender::GetImageRect(10, 40, CRect(0, 0, 100, 100)));
    EXPECT_EQ(CRect(40, 40, 60, 60), MRender::GetImageRect(20, 20, CRect(0, 0, 100, 100)));
    // Wider and taller: width-limited when the image is relatively wider.
    EXPECT_EQ(CRect(0, 25, 100, 75), MRender::GetImageRect(400, 200, CRect(0, 0, 100, 100)));
    EXPECT_EQ(CRect(25, 0, 75, 100), MRender::GetImageRect(200, 400, CRect(0, 0, 100, 100)));
    // Only wider: width-limited.
    EXPECT_EQ(CRect(10, 45, 110, 55), MRender::GetImageRect(200, 20, CRect(10, 0, 110, 100)));
    // Wider and exactly as tall, or taller and exactly as wide: fitted too.
    EXPECT_EQ(CRect(0, 25, 100, 75), MRender::GetImageRect(200, 100, CRect(0, 0, 100, 100)));
    EXPECT_EQ(CRect(25, 0, 75, 100), MRender::GetImageRect(100, 200, CRect(0, 0, 100, 100)));
}

TEST(MRender, OriginPoints)
{
    EXPECT_EQ(CPoint(0, 0), MRender::GetOriginPoint(100, 40, 20, 10, 0, 0));
    EXPECT_EQ(CPoint(40, 15), MRender::GetOriginPoint(100, 40, 20, 10, 1, 4));
    EXPECT_EQ(CPoint(80, 30), MRender::GetOriginPoint(100, 40, 20, 10, 2, 8));
    // The box form places the item 2 pixels lower than the arithmetic centre.
    EXPECT_EQ(CPoint(50, 37), MRender::GetOriginPoint(CRect(10, 20, 110, 60), 20, 10, 1, 4));
}

TEST(MRender, VerticalTransitionAtEightyPercentBlendsEveryRowAtFiftyOne)
{
    Canvas dest(4, 10);
    Canvas src(4, 10);
    dest.Fill(0xFF000000);
    src.Fill(0xFFFFFFFF);
    int last = MRender::DrawVerticalTransition(dest.dc(), src.dc(), CRect(0, 0, 4, 10), CRect(0, 0, 4, 10), 80, 80);
    EXPECT_EQ(51, last);
    for (int y = 0; y < 10; ++y) {
        DWORD pixel = dest.At(2, y);
        EXPECT_NEAR(51, static_cast<int>(pixel & 0xFF), 1) << "row " << y;
    }
}

TEST(MRender, TransitionsMoveFromOneOpacityToTheOther)
{
    Canvas dest(10, 2);
    Canvas src(10, 2);
    dest.Fill(0xFF000000);
    src.Fill(0xFFFFFFFF);
    // 0 % transparent on the left to 100 % on the right.
    MRender::DrawHorizontalTransition(dest.dc(), src.dc(), CRect(0, 0, 10, 2), CRect(0, 0, 10, 2), 0, 100);
    EXPECT_NEAR(255, static_cast<int>(dest.At(0, 0) & 0xFF), 1);
    EXPECT_LT(static_cast<int>(dest.At(9, 0) & 0xFF), 40);
    for (int x = 1; x < 10; ++x)
        EXPECT_LE(dest.At(x, 1) & 0xFF, dest.At(x - 1, 1) & 0xFF);
    EXPECT_EQ(255, MRender::DrawVerticalTransition(dest.dc(), src.dc(), CRect(), CRect(), 0, 100));
}

TEST(MRender, DrawColorWithAlphaZeroDrawsNothing)
{
    Canvas canvas(8, 8);
    canvas.Fill(0x11223344);
    MRender::DrawColor(canvas.dc(), CRect(0, 0, 8, 8), 0x00FF0000);
    EXPECT_EQ(0x11223344u, canvas.At(4, 4));
    MRender::DrawColor(canvas.dc(), CRect(2, 2, 6, 6), 0xFFFF0000);
    EXPECT_EQ(0xFF0000u, Rgb(canvas.At(3, 3)));
    EXPECT_EQ(0x223344u, Rgb(canvas.At(1, 1)));
}

TEST(MRender, FillSolidRectAndGradient)
{
    Canvas canvas(20, 20);
    canvas.Fill(0);
    MRender::FillSolidRect(canvas.dc(), 0, 0, 20, 10, RGB(0, 128, 255));
    EXPECT_EQ(0x0080FFu, Rgb(canvas.At(5, 5)));
    EXPECT_EQ(0u, Rgb(canvas.At(5, 15)));
    MRender::DrawGradient(canvas.dc(), CRect(0, 10, 20, 20), 0xFF000000, 0xFFFFFFFF, true, 16);
    int top = static_cast<int>(canvas.At(10, 10) & 0xFF);
    int bottom = static_cast<int>(canvas.At(10, 19) & 0xFF);
    EXPECT_LT(top, 40);
    EXPECT_GT(bottom, 200);
    // Average alpha 0: nothing drawn.
    MRender::DrawGradient(canvas.dc(), CRect(0, 0, 20, 10), 0x00FF0000, 0x000000FF, true, 4);
    EXPECT_EQ(0x0080FFu, Rgb(canvas.At(5, 5)));
}

TEST(MRender, SmallHelpers)
{
    DWORD black = 0xFF000000;
    MRender::CheckAlphaColor(black);
    EXPECT_EQ(0xFF000001u, black);
    DWORD red = 0xFFFF0000;
    MRender::CheckAlphaColor(red);
    EXPECT_EQ(0xFFFF0000u, red);
    PointF p(10, 0);
    MRender::RotatePoint(p, 90.0f, PointF(0, 0));
    EXPECT_NEAR(0.0, p.X, 1e-3);
    EXPECT_NEAR(10.0, p.Y, 1e-3);
    HDC dc = ::CreateCompatibleDC(nullptr);
    BYTE* bits = nullptr;
    HBITMAP bitmap = MRender::CreateARGB32Bitmap(dc, 7, 5, &bits);
    DIBSECTION section = {};
    ASSERT_EQ(static_cast<int>(sizeof(section)), ::GetObjectW(bitmap, sizeof(section), &section));
    EXPECT_EQ(32, section.dsBm.bmBitsPixel);
    EXPECT_EQ(5, section.dsBmih.biHeight);
    EXPECT_NE(nullptr, bits);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
}

TEST(MRender, RoundedRectanglesStayInsideTheirBox)
{
    Bitmap target(40, 40, PixelFormat32bppARGB);
    {
        Graphics graphics(&target);
        graphics.Clear(Color(0, 0, 0, 0));
        MRender::DrawRoundRectange(graphics, 5, 5, 30, 30, 8.0f, Color(0xFF00FF00));
    }
    Color c;
    target.GetPixel(20, 20, &c);
    EXPECT_EQ(0xFF00FF00u, c.GetValue());
    target.GetPixel(5, 5, &c);
    EXPECT_LT(c.GetAlpha(), 128);
    target.GetPixel(2, 20, &c);
    EXPECT_EQ(0, c.GetAlpha());
}

TEST(MRender, SaveBitmapToFileRoundTrip)
{
    Canvas canvas(9, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x)
            ::SetPixel(canvas.dc(), x, y, RGB(x * 20, y * 40, 100));
    CString path = TempPath(L"qlui_roundtrip.bmp");
    ASSERT_EQ(1, MRender::SaveBitmapToFile(canvas.bitmap(), path));

    HANDLE file = ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    BITMAPFILEHEADER fileHeader = {};
    BITMAPINFOHEADER header = {};
    DWORD read = 0;
    ::ReadFile(file, &fileHeader, sizeof(fileHeader), &read, nullptr);
    ::ReadFile(file, &header, sizeof(header), &read, nullptr);
    DWORD size = ::GetFileSize(file, nullptr);
    ::CloseHandle(file);
    EXPECT_EQ(0x4D42, fileHeader.bfType);
    EXPECT_EQ(54u, fileHeader.bfOffBits);
    DWORD rowBytes = ((24 * 9 + 31) / 32) * 4;
    EXPECT_EQ(rowBytes * 5 + 54, fileHeader.bfSize);
    EXPECT_EQ(size, fileHeader.bfSize);
    EXPECT_EQ(24, header.biBitCount);
    EXPECT_EQ(9, header.biWidth);

    Bitmap loaded(path);
    ASSERT_EQ(Ok, loaded.GetLastStatus());
    Color c;
    loaded.GetPixel(3, 2, &c);
    EXPECT_EQ(60, c.GetR());
    EXPECT_EQ(80, c.GetG());
    EXPECT_EQ(100, c.GetB());
    EXPECT_EQ(0, MRender::SaveBitmapToFile(canvas.bitmap(), L"Z:\\no\\such\\folder\\x.bmp"));
    ::DeleteFileW(path);
}

TEST(MRender, LoadsTheLibraryScrollBarSkinsFromResources)
{
    std::unique_ptr<Image> horizontal(MRender::LoadImageFromIDResource(101, L"PNG", Manager::GetLibraryInstance()));
    std::unique_ptr<Image> vertical(MRender::LoadImageFromIDResource(102, L"PNG", Manager::GetLibraryInstance()));
    ASSERT_TRUE(horizontal);
    ASSERT_TRUE(vertical);
    EXPECT_EQ(22u, horizontal->GetWidth());
    EXPECT_EQ(20u, horizontal->GetHeight());
    EXPECT_EQ(12u, vertical->GetWidth());
    EXPECT_EQ(72u, vertical->GetHeight());
    EXPECT_EQ(nullptr, MRender::LoadImageFromIDResource(103, L"PNG", Manager::GetLibraryInstance()));
}

TEST(MRender, FileLoadersAndThumbnails)
{
    CString path = TempPath(L"qlui_loader.bmp");
    {
        Bitmap source(30, 10, PixelFormat24bppRGB);
        CLSID bmp = {0x557cf400, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        ASSERT_EQ(Ok, source.Save(path, &bmp, nullptr));
    }
    std::unique_ptr<Image> full(MRender::LoadImageFromFile(path));
    ASSERT_TRUE(full);
    EXPECT_EQ(30u, full->GetWidth());
    std::unique_ptr<Image> same(MRender::LoadImageFromFileEx(path, 0, 0));
    ASSERT_TRUE(same);
    EXPECT_EQ(30u, same->GetWidth());
    EXPECT_EQ(10u, same->GetHeight());
    std::unique_ptr<Image> thumb(MRender::LoadImageFromFileEx(path, 6, 2));
    ASSERT_TRUE(thumb);
    EXPECT_EQ(6u, thumb->GetWidth());
    EXPECT_EQ(nullptr, MRender::LoadImageFromFile(TempPath(L"qlui_absent.png")));
    EXPECT_EQ(nullptr, MRender::LoadImageFromFileEx(TempPath(L"qlui_absent.png"), 5, 5));
    full.reset();
    same.reset();
    thumb.reset();
    ::DeleteFileW(path);
}

TEST(MImageList, EntriesWithoutImagesStillCount)
{
    CString path = TempPath(L"qlui_icons.bmp");
    {
        Bitmap strip(40, 10, PixelFormat24bppRGB);
        CLSID bmp = {0x557cf400, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        ASSERT_EQ(Ok, strip.Save(path, &bmp, nullptr));
    }
    MImageList list;
    EXPECT_EQ(0, list.AddImage(path, 7, 4));
    EXPECT_EQ(1, list.AddImage(TempPath(L"qlui_missing.png"), 8, 2));
    EXPECT_EQ(-1, list.AddImage(nullptr, 9, 1));
    // -1 is a refusal only: an insert answers the index it took.
    EXPECT_EQ(-1, list.InsertImage(5, path, 9, 1));
    EXPECT_EQ(0, list.InsertImage(0, path, 10, 2));
    ASSERT_EQ(3, list.GetImageCount());
    EXPECT_EQ(10, list.GetItemImageData(0)->id);
    _M_IAMGELIST* strip = list.GetImageDataByID(7);
    ASSERT_NE(nullptr, strip);
    EXPECT_EQ(10, strip->frameWidth);
    EXPECT_EQ(10, strip->height);
    _M_IAMGELIST* missing = list.GetImageDataByID(8);
    ASSERT_NE(nullptr, missing);
    EXPECT_EQ(nullptr, missing->image);
    EXPECT_EQ(0, missing->frameWidth);
    EXPECT_EQ(path, list.GetImagePathByID(7));
    EXPECT_EQ(nullptr, list.GetItemImageData(3));
    EXPECT_TRUE(list.GetImagePath(3).IsEmpty());
    Bitmap target(10, 10, PixelFormat32bppARGB);
    Graphics graphics(&target);
    list.DrawItemIcon(graphics, CRect(0, 0, 10, 10), 2, 9);
    list.DrawItemIcon(graphics, CRect(0, 0, 10, 10), 5);
    EXPECT_EQ(1, list.DelAllImages());
    EXPECT_EQ(0, list.GetImageCount());
    ::DeleteFileW(path);
}

TEST(MRender, RightBottomTransitionFadesTowardsTheOuterCorner)
{
    Canvas dest(10, 10);
    Canvas src(10, 10);
    dest.Fill(0xFF000000);
    src.Fill(0xFFFFFFFF);
    MRender::DrawRightBottomTransition(dest.dc(), src.dc(), CRect(0, 0, 10, 10), 4, 0);
    // Inner corner of the square (6, 6): opaque copy; outer corner (9, 9): untouched.
    EXPECT_NEAR(255, static_cast<int>(dest.At(6, 6) & 0xFF), 1);
    EXPECT_EQ(0u, dest.At(9, 9) & 0xFF);
    // (8, 6): distance 2 of 4, alpha trunc(255 - 255 / 4 * 2) = 127.
    EXPECT_NEAR(127, static_cast<int>(dest.At(8, 6) & 0xFF), 2);
    // Outside the square nothing changes.
    EXPECT_EQ(0u, dest.At(5, 5) & 0xFF);
}

TEST(MRender, BorderedRoundRectangleAndRoundedPath)
{
    Bitmap target(40, 40, PixelFormat32bppARGB);
    {
        Graphics graphics(&target);
        graphics.Clear(Color(0, 0, 0, 0));
        MRender::DrawRoundRectange(graphics, 4, 4, 32, 32, 4.0f, Color(0xFFFF0000), 2.0f, true, Color(0xFF0000FF));
    }
    Color c;
    target.GetPixel(20, 20, &c);
    EXPECT_EQ(0xFF0000FFu, c.GetValue());
    target.GetPixel(20, 4, &c);
    EXPECT_EQ(255, c.GetR());
    target.GetPixel(1, 20, &c);
    EXPECT_EQ(0, c.GetAlpha());

    GraphicsPath path;
    MRender::AddRoundedRectangle(path, 0, 0, 20, 10, 3);
    RectF bounds;
    path.GetBounds(&bounds);
    EXPECT_NEAR(0.0, bounds.X, 0.01);
    EXPECT_NEAR(20.0, bounds.Width, 0.01);
    EXPECT_NEAR(10.0, bounds.Height, 0.01);
    EXPECT_FALSE(path.IsVisible(0, 0));
    EXPECT_TRUE(path.IsVisible(10, 5));
}

TEST(MRender, TextBoundsFollowTheLineHeightRule)
{
    HRSRC found = ::FindResourceW(Manager::GetLibraryInstance(), MAKEINTRESOURCEW(106), L"ttf");
    ASSERT_NE(nullptr, found);
    const void* data = ::LockResource(::LoadResource(Manager::GetLibraryInstance(), found));
    PrivateFontCollection fonts;
    ASSERT_EQ(Ok, fonts.AddMemoryFont(data, static_cast<INT>(::SizeofResource(Manager::GetLibraryInstance(), found))));
    FontFamily family;
    INT count = 0;
    ASSERT_EQ(Ok, fonts.GetFamilies(1, &family, &count));
    Font font(&family, 20.0f, FontStyleRegular, UnitPixel);
    REAL line = font.GetHeight(96.0f);
    int expectedHeight = static_cast<int>(line + (line != std::floor(line) ? 4.0f : 1.0f));
    CSize shortText = MRender::GetTextBounds(font, CString(L"Device:1"));
    CSize longText = MRender::GetTextBounds(font, CString(L"Device:1 Device:1"));
    EXPECT_EQ(expectedHeight, shortText.cy);
    EXPECT_GT(shortText.cx, 40);
    EXPECT_GT(longText.cx, shortText.cx + 40);
    // Laid out in 60 pixels the long text wraps onto more lines.
    StringFormat wrapping;
    CSize wrapped = MRender::GetTextBounds(font, wrapping, 60, CString(L"Device:1 Device:1"));
    EXPECT_LE(wrapped.cx, 61);
    EXPECT_GE(wrapped.cy, static_cast<int>(line + 2.0f) + 1);
}

TEST(MRender, IconOfAFile)
{
    // A 16 x 16, 32-bit icon file written by hand.
    CString path = TempPath(L"qlui_icon.ico");
    std::vector<BYTE> file(6 + 16 + 40 + 16 * 16 * 4 + 16 * 4, 0);
    auto put16 = [&](size_t at, WORD v) { std::memcpy(&file[at], &v, 2); };
    auto put32 = [&](size_t at, DWORD v) { std::memcpy(&file[at], &v, 4); };
    put16(2, 1);
    put16(4, 1);
    file[6] = 16;
    file[7] = 16;
    put16(6 + 4, 1);
    put16(6 + 6, 32);
    put32(6 + 8, static_cast<DWORD>(file.size() - 22));
    put32(6 + 12, 22);
    put32(22, 40);
    put32(26, 16);
    put32(30, 32);
    put16(34, 1);
    put16(36, 32);
    for (size_t i = 0; i < 16 * 16; ++i)
        put32(62 + i * 4, 0xFF20C040);
    HANDLE handle = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    DWORD written = 0;
    ::WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    ::CloseHandle(handle);
    HICON icon = MRender::LoadIconFromFile(path);
    EXPECT_NE(nullptr, icon);
    if (icon != nullptr)
        ::DestroyIcon(icon);
    ::DeleteFileW(path);
}
