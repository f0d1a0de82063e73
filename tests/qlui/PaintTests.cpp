// The paint cycle, the background, caches and fonts, checked in the frames
// the manager renders.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "MRender.h"
#include "Manager.h"
#include "QluiTestSupport.h"

namespace {

// The last frame the manager rendered, copied out of its DIB.
struct FrameCapture {
    std::vector<DWORD> pixels;
    int cx = 0;
    int cy = 0;
    RECT update = {};
    int frames = 0;

    static void Observe(void* user, const BYTE* bits, int cx, int cy, const RECT& update)
    {
        auto* self = static_cast<FrameCapture*>(user);
        self->cx = cx;
        self->cy = cy;
        self->update = update;
        self->pixels.assign(reinterpret_cast<const DWORD*>(bits), reinterpret_cast<const DWORD*>(bits) + cx * cy);
        ++self->frames;
    }
    DWORD At(int x, int y) const { return pixels[(cy - 1 - y) * cx + x]; }
    static int Alpha(DWORD argb) { return static_cast<int>(argb >> 24); }
};

class Painting : public ::testing::Test {
protected:
    void Open(bool layered)
    {
        parent.pm = &window.pm;
        window.pm.SetLayeredWindow(layered);
        window.pm.SetPaintObserver(&FrameCapture::Observe, &frame);
        ASSERT_NE(nullptr, window.CreatePopup(80, 80, 200, 120));
        hwnd = window.GetSafeHwnd();
    }
    void Repaint()
    {
        int before = frame.frames;
        ::InvalidateRect(hwnd, nullptr, FALSE);
        ::UpdateWindow(hwnd);
        ASSERT_GT(frame.frames, before);
    }
    void TearDown() override { window.DestroyWindow(); }

    TestWindow window;
    TestParent parent;
    FrameCapture frame;
    HWND hwnd = nullptr;
};

CString SkinFile(const wchar_t* name) { return GetSkinFolder() + name; }

bool SavePng(Gdiplus::Bitmap& bitmap, const CString& path)
{
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(encoders[i].MimeType, L"image/png") == 0)
            return bitmap.Save(path, &encoders[i].Clsid, nullptr) == Gdiplus::Ok;
    }
    return false;
}

} // namespace

TEST_F(Painting, LayeredBackgroundIsABorderAndAFillAtAlpha254)
{
    Open(true);
    window.pm.SetBackColor(RGB(0x10, 0x20, 0x30), RGB(0xA0, 0xB0, 0xC0));
    Repaint();
    EXPECT_TRUE(window.GetExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(200, frame.cx);
    EXPECT_EQ(120, frame.cy);
    EXPECT_EQ(CRect(0, 0, 200, 120), CRect(frame.update));
    DWORD border = frame.At(0, 60);
    DWORD fill = frame.At(100, 60);
    EXPECT_EQ(254, FrameCapture::Alpha(border));
    EXPECT_EQ(254, FrameCapture::Alpha(fill));
    EXPECT_NEAR(0xC0, static_cast<int>(border & 0xFF), 2);
    EXPECT_NEAR(0x30, static_cast<int>(fill & 0xFF), 2);
    EXPECT_NEAR(0x10, static_cast<int>((fill >> 16) & 0xFF), 2);
    EXPECT_EQ(254, FrameCapture::Alpha(frame.At(199, 119)));
}

TEST_F(Painting, LayeredControlPixelsGetTheirAlpha)
{
    Open(true);
    TestControl* gdi = new TestControl(&parent, 1, CRect(10, 10, 50, 50));
    gdi->colour = RGB(200, 40, 40);
    TestControl* black = new TestControl(&parent, 2, CRect(60, 10, 100, 50));
    black->colour = RGB(0, 0, 0);
    TestControl* translucent = new TestControl(&parent, 3, CRect(110, 10, 150, 50));
    translucent->argb = 0x80FF0000;
    TestControl* hidden = new TestControl(&parent, 4, CRect(160, 10, 190, 50), 0);
    window.pm.AddControl(1, gdi);
    window.pm.AddControl(1, black);
    window.pm.AddControl(1, translucent);
    window.pm.AddControl(1, hidden);
    Repaint();
    // GDI leaves alpha 0; the manager makes coloured pixels opaque.
    DWORD red = frame.At(30, 30);
    EXPECT_EQ(255, FrameCapture::Alpha(red));
    EXPECT_EQ(200u, (red >> 16) & 0xFF);
    // Pure black drawn with GDI stays transparent: that is why colours are
    // nudged with CheckAlphaColor.
    EXPECT_EQ(0u, frame.At(80, 30));
    // A GDI+ colour of alpha 128 over the background keeps a partial or full alpha.
    int alpha = FrameCapture::Alpha(frame.At(130, 30));
    EXPECT_GE(alpha, 128);
    EXPECT_GT((frame.At(130, 30) >> 16) & 0xFF, 0x80u);
    // Invisible controls are not drawn.
    EXPECT_EQ(0, hidden->drawn);
    EXPECT_EQ(254, FrameCapture::Alpha(frame.At(175, 30)));
}

TEST_F(Painting, PlainModeRendersOnlyTheUpdateRectangle)
{
    Open(false);
    TestControl* inside = new TestControl(&parent, 1, CRect(10, 10, 40, 40));
    TestControl* outside = new TestControl(&parent, 2, CRect(120, 60, 160, 100));
    window.pm.AddControl(1, inside);
    window.pm.AddControl(1, outside);
    ::UpdateWindow(hwnd);
    int before = outside->drawn;
    int insideBefore = inside->drawn;
    RECT part = {0, 0, 60, 60};
    ::InvalidateRect(hwnd, &part, FALSE);
    ::UpdateWindow(hwnd);
    EXPECT_EQ(CRect(0, 0, 60, 60), CRect(frame.update));
    EXPECT_EQ(before, outside->drawn);
    EXPECT_EQ(insideBefore + 1, inside->drawn);
    EXPECT_FALSE(window.GetExStyle() & WS_EX_LAYERED);
    // The window shows what was rendered.
    HDC dc = ::GetDC(hwnd);
    COLORREF shown = ::GetPixel(dc, 20, 20);
    ::ReleaseDC(hwnd, dc);
    EXPECT_EQ(RGB(200, 40, 40), shown);
}

TEST_F(Painting, NoUpdateRegionMeansNoPaint)
{
    Open(false);
    ::UpdateWindow(hwnd);
    ::ValidateRect(hwnd, nullptr);
    int before = frame.frames;
    EXPECT_EQ(0, window.pm.OnWindowMessage(WM_PAINT, 0, 0));
    EXPECT_EQ(before, frame.frames);
}

TEST_F(Painting, StretchedBackgroundImage)
{
    Open(true);
    CString path = SkinFile(L"qlui_test_bk.png");
    ::SHCreateDirectoryExW(nullptr, GetSkinFolder(), nullptr);
    {
        Gdiplus::Bitmap image(20, 12, PixelFormat32bppARGB);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x)
                image.SetPixel(x, y, Gdiplus::Color(x < 10 ? 0xFF0000FF : 0x8000FF00));
        ASSERT_TRUE(SavePng(image, path));
    }
    ASSERT_TRUE(window.pm.LoadBKImage(CString(L"qlui_test_bk.png")));
    Repaint();
    DWORD left = frame.At(40, 60);
    DWORD right = frame.At(160, 60);
    EXPECT_EQ(0xFFu, left & 0xFF);
    EXPECT_EQ(255, FrameCapture::Alpha(left));
    EXPECT_NEAR(128, FrameCapture::Alpha(right), 2);
    EXPECT_FALSE(window.pm.LoadBKImage(CString(L"qlui_no_such.png")));
    EXPECT_EQ(nullptr, window.pm.GetBKImage());
    Repaint();
    EXPECT_EQ(254, FrameCapture::Alpha(frame.At(40, 60)));
    ::DeleteFileW(path);
}

TEST_F(Painting, ImageCacheIsKeyedByFileName)
{
    Open(false);
    CString path = SkinFile(L"qlui_test_strip.png");
    ::SHCreateDirectoryExW(nullptr, GetSkinFolder(), nullptr);
    {
        Gdiplus::Bitmap strip(40, 10, PixelFormat32bppARGB);
        ASSERT_TRUE(SavePng(strip, path));
    }
    ImgResInfo* first = window.pm.AddImgResInfo(L"qlui_test_strip.png", 4);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(10, first->frameWidth);
    EXPECT_EQ(10, first->frameHeight);
    EXPECT_EQ(4, first->frameCount);
    // Same name, another count: the first record is returned.
    EXPECT_EQ(first, window.pm.AddImgResInfo(L"qlui_test_strip.png", 2));
    EXPECT_EQ(nullptr, window.pm.AddImgResInfo(L"qlui_missing_strip.png", 1));
    EXPECT_EQ(nullptr, window.pm.AddImgResInfo(5000, L"PNG", 1, 1));
    window.pm.ClearImgResInfo();
    ::DeleteFileW(path);
}

TEST_F(Painting, EmbeddedFontIsRegisteredAtBinding)
{
    Open(false);
    EXPECT_EQ(1u, window.pm.GetGDIFontCount());
    EXPECT_EQ(102u, window.pm.GetScrollVID());
    EXPECT_EQ(101u, window.pm.GetScrollHID());
    Gdiplus::FontFamily* family = window.pm.AddTempFont(L"Open Sans Semibold", 106);
    ASSERT_NE(nullptr, family);
    wchar_t name[LF_FACESIZE] = {};
    family->GetFamilyName(name);
    EXPECT_STREQ(L"Open Sans Semibold", name);
    EXPECT_EQ(nullptr, window.pm.AddTempFont(L"none", 107));
}

TEST_F(Painting, FindTempFontFollowsTheLibraryFontName)
{
    Open(false);
    CString old = Manager::GetFontName();
    Manager::SetFontName(L"QLUI No Such Family");
    EXPECT_EQ(nullptr, window.pm.FindTempFont(L"Open Sans Semibold"));
    Gdiplus::FontFamily* added = window.pm.AddTempFont(L"QLUI No Such Family", 106);
    ASSERT_NE(nullptr, added);
    // The requested name does not matter, the library font name does.
    EXPECT_EQ(added, window.pm.FindTempFont(L"anything"));
    Manager::SetFontName(old);
    window.pm.ClearTempFont();
    EXPECT_EQ(0u, window.pm.GetGDIFontCount());
}

TEST_F(Painting, MessageStripFadesOut)
{
    Open(false);
    window.pm.SetMessage(L"Saved", CRect(10, 10, 190, 40), MSGLEVEL_INFO);
    EXPECT_EQ(255, window.pm.GetMessageAlpha());
    Repaint();
    // The strip is drawn over the background inside its rectangle.
    EXPECT_NE(frame.At(100, 12) & 0xFFFFFF, frame.At(100, 60) & 0xFFFFFF);
    ::SendMessageW(hwnd, WM_TIMER, PaintManager::kMsgShowTimerId, 0);
    for (int i = 0; i < 30; ++i)
        ::SendMessageW(hwnd, WM_TIMER, PaintManager::kMsgFadeTimerId, 0);
    EXPECT_EQ(0, window.pm.GetMessageAlpha());
    window.pm.SetProgress(3, L"", CRect());
    EXPECT_EQ(3, window.pm.GetMessageProgress());
    EXPECT_EQ(CRect(0, 60, 200, 118), window.pm.GetMessageRect());
    window.pm.SetProgress(50, L"", CRect());
    ::SendMessageW(hwnd, WM_TIMER, PaintManager::kMsgProgressTimerId, 0);
    EXPECT_EQ(5, window.pm.GetMessageProgress());
}

TEST_F(Painting, TooltipWindowIsCreatedOnce)
{
    Open(false);
    TestControl* control = new TestControl(&parent, 9, CRect(10, 10, 60, 60));
    window.pm.AddControl(1, control);
    control->SetTooltip(L"Firmware");
    MoveCursorTo(hwnd, 20, 20);
    ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    HWND tip = window.pm.GetTooltipWindow();
    ASSERT_NE(nullptr, tip);
    EXPECT_EQ(9, window.pm.GetTooltipCtrlID());
    control->ClearTooltip();
    EXPECT_EQ(0, window.pm.GetTooltipCtrlID());
    control->SetTooltip(CString(L"Again"), CRect(10, 10, 60, 60));
    EXPECT_EQ(tip, window.pm.GetTooltipWindow());
}

TEST_F(Painting, TeardownReleasesControlsAtDestruction)
{
    Open(false);
    window.pm.AddControl(1, new TestControl(&parent, 1, CRect(0, 0, 10, 10)));
    window.pm.AddControl(0, new TestControl(&parent, 2, CRect(0, 0, 10, 10)));
    window.DestroyWindow();
    EXPECT_FALSE(window.pm.IsInit());
    EXPECT_TRUE(window.pm.GetControls().empty());
    EXPECT_TRUE(window.pm.GetAreas().empty());
    EXPECT_EQ(0u, window.pm.GetGDIFontCount());
    EXPECT_EQ(nullptr, window.pm.GetControl(1));
}

TEST_F(Painting, DropBitmapIsTheControlsPicture)
{
    Open(false);
    TestControl* control = new TestControl(&parent, 1, CRect(20, 20, 60, 50));
    control->colour = RGB(10, 200, 30);
    window.pm.AddControl(1, control);
    HBITMAP bitmap = window.pm.GetDropBitmap(control, CRect(0, 0, 40, 30), RGB(0, 0, 0));
    ASSERT_NE(nullptr, bitmap);
    BITMAP info = {};
    ::GetObjectW(bitmap, sizeof(info), &info);
    EXPECT_EQ(40, info.bmWidth);
    EXPECT_EQ(30, info.bmHeight);
    EXPECT_EQ(32, info.bmBitsPixel);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    EXPECT_EQ(RGB(10, 200, 30), ::GetPixel(dc, 5, 5));
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(bitmap);
    EXPECT_EQ(nullptr, window.pm.GetDropBitmap(nullptr, CRect(), 0));
}

TEST_F(Painting, CaretBlinksForItsFocusedOwner)
{
    Open(true);
    TestControl* edit = new TestControl(&parent, 1, CRect(10, 10, 150, 50));
    edit->colour = RGB(255, 255, 255);
    window.pm.AddControl(1, edit);
    ::SetForegroundWindow(hwnd);
    ::SetFocus(hwnd);
    if (::GetFocus() != hwnd)
        GTEST_SKIP() << "the test window cannot take the keyboard focus here";
    edit->SetFocusedFlag(1);
    window.pm.SetCaretColor(0xFE0000FF);
    ASSERT_TRUE(window.pm.CreateCaret(nullptr, 2, 16));
    ASSERT_TRUE(window.pm.SetCaretPos(edit, 30, 20));
    EXPECT_EQ(CRect(30, 20, 32, 36), window.pm.GetCaretRect());
    EXPECT_EQ(edit, window.pm.GetCurrentCaretObject());
    EXPECT_TRUE(window.pm.ShowCaret(TRUE));
    Repaint();
    // Blue at the caret's alpha of 254: a layered frame is premultiplied.
    EXPECT_GE(frame.At(30, 25) & 0xFF, 0xFEu);
    EXPECT_LE((frame.At(30, 25) >> 16) & 0xFF, 2u);
    EXPECT_EQ(0xFFFFFFu, frame.At(40, 25) & 0xFFFFFF);
    // The blink timer flips the phase: the caret is not drawn in the next frame.
    ::SendMessageW(hwnd, WM_TIMER, PaintManager::kCaretTimerId, 0);
    Repaint();
    EXPECT_EQ(0xFFFFFFu, frame.At(30, 25) & 0xFFFFFF);
    // Without a focused owner the caret is never drawn.
    ::SendMessageW(hwnd, WM_TIMER, PaintManager::kCaretTimerId, 0);
    edit->SetFocusedFlag(0);
    Repaint();
    EXPECT_EQ(0xFFFFFFu, frame.At(30, 25) & 0xFFFFFF);
    EXPECT_TRUE(window.pm.ShowCaret(FALSE));
    ::DestroyCaret();
}

TEST_F(Painting, DroppedBitmapsReachTheWindow)
{
    Open(false);
    std::vector<UINT> seen;
    HBITMAP received = nullptr;
    window.onApp = nullptr;
    HBITMAP source = ::CreateBitmap(8, 6, 1, 32, nullptr);
    FORMATETC format = {CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
    STGMEDIUM medium = {};
    medium.tymed = TYMED_GDI;
    medium.hBitmap = source;
    size_t before = window.ownSeen.size();
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_TRUE(window.pm.OnDrop(&format, medium, &effect));
    seen.assign(window.ownSeen.begin() + static_cast<std::ptrdiff_t>(before), window.ownSeen.end());
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(static_cast<UINT>(WM_LBUTTONUP), seen[0]);
    EXPECT_NE(seen.end(), std::find(seen.begin(), seen.end(), static_cast<UINT>(STM_SETIMAGE)));
    (void)received;
    ::DeleteObject(source);
}
