// What the basic controls draw, checked in the frames the dialog renders.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "CArea.h"
#include "DialogTestSupport.h"
#include "MButton.h"
#include "MPicture.h"
#include "MProgress.h"
#include "MText.h"

namespace {

// The window background: a 1-pixel border around a plain fill.
const int kBg[3] = {0, 0, 128};

class Drawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.GetPaintManager()->SetBackColor(RGB(kBg[0], kBg[1], kBg[2]), RGB(kBg[0], kBg[1], kBg[2]));
        ASSERT_NE(nullptr, dialog.Open(40, 40, 240, 160));
    }
    bool IsBackground(int x, int y) { return dialog.capture.Near(x, y, kBg[0], kBg[1], kBg[2], 2); }
    // Rows of the rectangle that hold a pixel brighter than the background.
    int InkRows(const CRect& r)
    {
        int rows = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (FrameCapture::R(dialog.capture.At(x, y)) > 0x60) {
                    ++rows;
                    break;
                }
            }
        }
        return rows;
    }

    TestDialog dialog;
};

} // namespace

TEST_F(Drawing, AreaDefaultsToAWhiteVeilOfAlpha51)
{
    dialog.CreateArea(L"CArea", 1, CRect(20, 20, 120, 80), nullptr, 1, 1);
    dialog.Repaint();
    // 254 white over the background at constant alpha 51.
    int r = kBg[0] + (254 - kBg[0]) * 51 / 255;
    int b = kBg[2] + (254 - kBg[2]) * 51 / 255;
    EXPECT_TRUE(dialog.capture.Near(21, 21, r, r, b, 3)) << std::hex << dialog.capture.At(21, 21);
    EXPECT_TRUE(dialog.capture.Near(119, 79, r, r, b, 3));
    EXPECT_TRUE(IsBackground(120, 80));
    EXPECT_TRUE(IsBackground(19, 50));
}

TEST_F(Drawing, AreaWithoutTransparencyIsAnOpaqueFillWithOptionalFrame)
{
    auto* area = static_cast<CArea*>(dialog.CreateArea(L"CArea", 1, CRect(20, 20, 120, 80), nullptr, 1, 1));
    area->SetTransparent(0, 0, RGB(200, 30, 60));
    dialog.Repaint();
    EXPECT_TRUE(dialog.capture.Near(20, 20, 200, 30, 60, 2));
    EXPECT_TRUE(dialog.capture.Near(70, 50, 200, 30, 60, 2));
    area->SetFrame(1, Gdiplus::Color(0xFF, 10, 220, 10), 0);
    dialog.Repaint();
    EXPECT_TRUE(dialog.capture.Near(20, 20, 10, 220, 10, 2));
    EXPECT_TRUE(dialog.capture.Near(119, 50, 10, 220, 10, 2));
    EXPECT_TRUE(dialog.capture.Near(21, 21, 200, 30, 60, 2));
    // A frame is not drawn over a veil.
    area->SetTransparent(50, 50, RGB(255, 255, 255));
    dialog.Repaint();
    EXPECT_FALSE(dialog.capture.Near(20, 20, 10, 220, 10, 20));
}

class Pictures : public Drawing {
protected:
    void SetUp() override
    {
        Drawing::SetUp();
        image = MakeSkinImage(L"halves.png", 20, 10, {0xFFFF0000, 0xFF00FF00});
        picture = static_cast<MPicture*>(dialog.CreateControl(L"MPicture", 3, box, nullptr, 1, 1));
        ASSERT_EQ(1, picture->SetImage(image.c_str(), 1));
    }
    bool Red(int x, int y) { return dialog.capture.Near(box.left + x, box.top + y, 255, 0, 0, 3); }
    bool Green(int x, int y) { return dialog.capture.Near(box.left + x, box.top + y, 0, 255, 0, 3); }
    bool Bg(int x, int y) { return IsBackground(box.left + x, box.top + y); }

    std::wstring image;
    MPicture* picture = nullptr;
    CRect box{10, 10, 70, 50};   // 60 x 40
};

TEST_F(Pictures, Mode0PlacesTheImageByAlignment)
{
    dialog.Repaint();
    // Left, vertically centred: y from 15 to 25.
    EXPECT_TRUE(Red(2, 16));
    EXPECT_TRUE(Green(17, 24));
    EXPECT_TRUE(Bg(2, 13));
    EXPECT_TRUE(Bg(25, 20));
    picture->SetAlignment(2, 8);
    dialog.Repaint();
    EXPECT_TRUE(Red(42, 32));
    EXPECT_TRUE(Green(59, 39));
    EXPECT_TRUE(Bg(38, 35));
    picture->SetAlignment(1, 0);
    dialog.Repaint();
    EXPECT_TRUE(Red(21, 0));
    EXPECT_TRUE(Green(39, 9));
    EXPECT_TRUE(Bg(30, 11));
}

TEST_F(Pictures, Mode1TilesAndCutsAtTheEdges)
{
    EXPECT_EQ(1, picture->SetShowMode(SHOWMODE_TILE, 0));
    EXPECT_EQ(0, picture->SetShowMode(SHOWMODE_TILE, 0));
    dialog.Repaint();
    EXPECT_TRUE(Red(0, 0));
    EXPECT_TRUE(Red(25, 15));     // tile 1, row 1
    EXPECT_TRUE(Green(35, 25));   // tile 1, row 2
    EXPECT_TRUE(Red(45, 39));     // last row, cut
    EXPECT_TRUE(Green(59, 39));
    EXPECT_TRUE(IsBackground(box.right, box.bottom - 1));
}

TEST_F(Pictures, Mode1WithALargerImageDrawsOneCutTile)
{
    std::wstring big = MakeSkinImage(L"big.png", 100, 80, {0xFFFF0000, 0xFF00FF00});
    ASSERT_EQ(1, picture->SetImage(big.c_str(), 1));
    picture->SetShowMode(SHOWMODE_TILE, 0);
    dialog.Repaint();
    // The control is 60 x 40: only the red left half (50 px) and 10 px of green.
    EXPECT_TRUE(Red(0, 0));
    EXPECT_TRUE(Red(49, 39));
    EXPECT_TRUE(Green(50, 0));
    EXPECT_TRUE(Green(59, 39));
    EXPECT_TRUE(IsBackground(box.right, box.top + 5));
    EXPECT_TRUE(IsBackground(box.left + 5, box.bottom));
}

TEST_F(Pictures, Modes2To5StretchFrameAndCut)
{
    picture->SetShowMode(SHOWMODE_STRETCH, 0);
    dialog.Repaint();
    EXPECT_TRUE(Red(5, 5));
    EXPECT_TRUE(Red(25, 35));
    EXPECT_TRUE(Green(35, 5));
    EXPECT_TRUE(Green(55, 35));

    EXPECT_EQ(1, picture->SetShowMode(SHOWMODE_FRAME, 4));
    EXPECT_EQ(0, picture->SetShowMode(SHOWMODE_FRAME, 4));
    EXPECT_EQ(1, picture->SetShowMode(SHOWMODE_FRAME, 2));
    dialog.Repaint();
    EXPECT_TRUE(Red(0, 0));
    EXPECT_TRUE(Green(59, 39));
    EXPECT_TRUE(Red(20, 20));
    EXPECT_TRUE(Green(40, 20));

    EXPECT_EQ(1, picture->SetShowModeMID(8, 2, 2, 2));
    EXPECT_EQ(SHOWMODE_FRAMEMID, picture->GetShowMode());
    dialog.Repaint();
    EXPECT_TRUE(Red(7, 20));      // the 8-pixel left margin is red at its own size
    EXPECT_TRUE(Green(58, 20));

    picture->SetCustomRect(CRect(10, 0, 20, 10));   // the green half
    picture->SetShowMode(SHOWMODE_CUSTOM, 0);
    dialog.Repaint();
    EXPECT_TRUE(Green(1, 1));
    EXPECT_TRUE(Green(30, 20));
    EXPECT_TRUE(Green(54, 34));   // the edge pixels blend with what lies outside the source

    picture->SetShowMode(static_cast<enumShowMode>(9), 0);
    dialog.Repaint();
    EXPECT_TRUE(Bg(5, 5));
    EXPECT_TRUE(Bg(55, 35));
}

TEST_F(Pictures, FailedImageLeavesAnEmptyPicture)
{
    dialog.Repaint();
    EXPECT_TRUE(Red(2, 16));
    EXPECT_EQ(0, picture->SetImage(L"qlui_dialog_test\\missing.png", 1));
    dialog.Repaint();
    EXPECT_TRUE(Bg(2, 16));
}

TEST_F(Drawing, ProgressClampsIgnoresNegativeAndKeepsStillWhenDisabled)
{
    auto* bar = static_cast<MProgress*>(dialog.CreateControl(L"MProgress", 4, CRect(20, 20, 220, 40), nullptr, 1, 1));
    EXPECT_EQ(100, bar->SetProgress(150));
    EXPECT_EQ(100, bar->GetProgress());
    EXPECT_EQ(100, bar->SetProgress(-1));
    EXPECT_EQ(40, bar->SetProgress(40));
    bar->SetEnabled(0);
    EXPECT_EQ(40, bar->SetProgress(70));
    EXPECT_EQ(40, bar->GetProgress());
    EXPECT_EQ(0, bar->SetRun(1, 10));
    EXPECT_EQ(40, bar->GetProgress());
}

TEST_F(Drawing, ProgressFillWidthFollowsTheProgress)
{
    auto* bar = static_cast<MProgress*>(dialog.CreateControl(L"MProgress", 4, CRect(20, 20, 220, 40), nullptr, 1, 1));
    bar->SetProgress(50);
    dialog.Repaint();
    // Fill (0, h - 3, w * 50 / 100, 3) in opaque yellow.
    EXPECT_TRUE(dialog.capture.Near(20, 37, 255, 225, 0));
    EXPECT_TRUE(dialog.capture.Near(119, 39, 255, 225, 0));
    EXPECT_FALSE(dialog.capture.Near(120, 37, 255, 225, 0, 40));
    EXPECT_TRUE(IsBackground(100, 36));
    // The track line at h - 2 beyond the fill: near black at alpha 100.
    int b = kBg[2] * 155 / 255 + 5 * 100 / 255;
    EXPECT_TRUE(dialog.capture.Near(150, 38, 2, 2, b, 3)) << std::hex << dialog.capture.At(150, 38);
    bar->SetProgress(100);
    dialog.Repaint();
    EXPECT_TRUE(dialog.capture.Near(219, 38, 255, 225, 0));
}

TEST_F(Drawing, RunningProgressAdvancesEveryThirdTickAndWraps)
{
    auto* bar = static_cast<MProgress*>(dialog.CreateControl(L"MProgress", 4, CRect(20, 20, 220, 40), nullptr, 1, 1));
    bar->SetMaxProgress(10);
    EXPECT_EQ(0, bar->OnControlTimer());   // not running
    EXPECT_EQ(1, bar->SetRun(1, 9));
    EXPECT_EQ(9, bar->GetProgress());
    EXPECT_EQ(0, bar->OnControlTimer());
    EXPECT_EQ(0, bar->OnControlTimer());
    EXPECT_EQ(9, bar->GetProgress());
    EXPECT_EQ(1, bar->OnControlTimer());
    EXPECT_EQ(0, bar->GetProgress());
    // Real timer ticks through the window's control timer.
    ASSERT_TRUE(dialog.GetPaintManager()->SetTimer(bar, 1, 10));
    for (int i = 0; i < 200 && bar->GetProgress() < 2; ++i)
        PumpMessages(10);
    EXPECT_GE(bar->GetProgress(), 2);
    dialog.GetPaintManager()->KillTimer(bar, 1);
    bar->SetRun(0, -1);
    int stopped = bar->GetProgress();
    EXPECT_EQ(0, bar->OnControlTimer());
    EXPECT_EQ(stopped, bar->GetProgress());
}

TEST_F(Drawing, TextIsOneLineUnlessMultiLineIsOn)
{
    const wchar_t* words = L"alpha beta gamma delta epsilon zeta eta theta";
    CRect box(20, 20, 100, 140);
    auto* text = static_cast<MText*>(dialog.CreateControl(L"MText", 5, box, words, 1, 1));
    text->SetVAlignment(0);
    dialog.Repaint();
    int single = InkRows(box);
    EXPECT_GT(single, 5);
    EXPECT_LT(single, 20);
    // Nothing spills out of the control on the right.
    EXPECT_EQ(0, InkRows(CRect(box.right, box.top, box.right + 40, box.bottom)));
    text->EnableMultiLine(1);
    text->SetTitle(words);
    dialog.Repaint();
    EXPECT_GT(InkRows(box), 2 * single);
}

TEST_F(Drawing, TextSettersRepaintOnlyOnChange)
{
    auto* text = static_cast<MText*>(dialog.CreateControl(L"MText", 5, CRect(20, 20, 200, 50), L"Hello", 1, 1));
    int before = dialog.updates;
    text->SetAlignment(0);
    text->SetAlignment(0, 4);
    EXPECT_EQ(before, dialog.updates);
    text->SetAlignment(1);
    EXPECT_EQ(before + 1, dialog.updates);
    text->SetTitle(nullptr);
    EXPECT_EQ(before + 2, dialog.updates);
    EXPECT_TRUE(text->GetTitle().IsEmpty());
    dialog.Repaint();
    EXPECT_EQ(0, InkRows(CRect(20, 20, 200, 50)));
    text->SetFont(L"Alibaba-PuHuiTi-Medium", 28, Gdiplus::FontStyleBold);
    EXPECT_EQ(L"Alibaba-PuHuiTi-Medium", text->GetTextFont());
    EXPECT_EQ(28, text->GetFontWidth());
    text->SetTitle(L"Wide");
    dialog.Repaint();
    EXPECT_GT(InkRows(CRect(20, 20, 200, 50)), 14);   // a 28-pixel font, drawn in the library family
    Gdiplus::FontFamily* family = text->GetFontFamily(L"Alibaba-PuHuiTi-Medium");
    ASSERT_NE(nullptr, family);
    wchar_t name[LF_FACESIZE] = {};
    family->GetFamilyName(name);
    wchar_t expected[LF_FACESIZE] = {};
    Gdiplus::FontFamily(L"Arial").GetFamilyName(expected);
    EXPECT_STREQ(expected, name);
}

// A layered window is handed premultiplied pixels: in every rendered frame no
// colour channel exceeds its pixel's alpha, whatever lies on the translucent
// background.
TEST(LayeredFrames, EveryColourChannelIsAtMostItsAlpha)
{
    const std::wstring translucent =
        MakeSkinImage(L"translucent.png", 40, 20, {0x80FF8040, 0x40FFFFFF, 0xC0A0C0E0, 0x10FF0000});
    const std::wstring strip =
        MakeSkinImage(L"glass.png", 4 * 24, 24, {0x90FFFFFF, 0x60FF8000, 0xC000FF00, 0x30FFFFFF});
    const struct {
        const char* what;
        bool background;
        bool controls;
    } scenes[] = {
        {"plain fill", false, false},
        {"translucent background", true, false},
        {"controls on a translucent background", true, true},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.what);
        TestDialog dialog;
        dialog.GetPaintManager()->SetBackColor(RGB(255, 255, 255), RGB(250, 240, 230));
        ASSERT_NE(nullptr, dialog.Open(40, 40, 240, 160));
        dialog.SetLayeredWindow(1);
        if (scene.background) {
            ASSERT_TRUE(dialog.LoadBKImage(translucent.c_str()));
        }
        if (scene.controls) {
            dialog.CreateArea(L"CArea", 1, CRect(10, 10, 120, 60), nullptr, 1, 1);
            auto* label = static_cast<MText*>(dialog.CreateControl(L"MText", 2, CRect(20, 70, 200, 100), L"Wx", 1, 1));
            label->SetTextColor(Gdiplus::Color(0xFFFFFFFF));
            auto* button =
                static_cast<MButton*>(dialog.CreateControl(L"MButton", 3, CRect(100, 100, 220, 150), L"OK", 1, 1));
            button->SetImage(strip.c_str(), 4);
        }
        dialog.Repaint();
        int translucentPixels = 0;
        int faults = 0;
        for (DWORD p : dialog.capture.pixels) {
            int a = static_cast<int>(p >> 24);
            if (a < 255)
                ++translucentPixels;
            if (FrameCapture::R(p) > a || FrameCapture::G(p) > a || FrameCapture::B(p) > a)
                ++faults;
        }
        EXPECT_GT(translucentPixels, 0);
        EXPECT_EQ(0, faults);
    }
}
