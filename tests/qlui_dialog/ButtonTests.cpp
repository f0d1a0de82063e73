// MButton and CImageButton: states, notifications and the four-state cache.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "CImageButton.h"
#include "ControlNotify.h"
#include "DialogTestSupport.h"
#include "MAirBladder.h"
#include "MButton.h"

namespace {

// Frame colours of the test strip: normal, hover, pressed, disabled.
const int kFrames[4][3] = {{200, 0, 0}, {0, 160, 0}, {0, 0, 220}, {0, 0, 0}};

bool IsWhite(DWORD p) { return FrameCapture::R(p) > 0xE0 && FrameCapture::G(p) > 0xE0 && FrameCapture::B(p) > 0xE0; }

// A button that counts how often it rebuilds its cached drawing.
class CountingButton : public MButton {
public:
    using MButton::MButton;
    int rebuilds = 0;
    int draws = 0;
    void DrawControl(HDC& dc, CRect paint) override
    {
        ++draws;
        if (GetUpdate() == 0)
            ++rebuilds;
        MButton::DrawControl(dc, paint);
    }
};

class Buttons : public ::testing::Test {
protected:
    void SetUp() override
    {
        strip = MakeSkinImage(L"strip.png", 4 * 24, 24,
                              {0xFFC80000, 0xFF00A000, 0xFF0000DC, 0xFF000000});
        ASSERT_NE(nullptr, dialog.Open(40, 40, 300, 200));
    }
    MButton* MakeButton(const wchar_t* title = L"OK")
    {
        auto* button = static_cast<MButton*>(dialog.CreateControl(L"MButton", 37, rect, title, 1, 1));
        EXPECT_EQ(1, button->SetImage(strip.c_str(), 4));
        return button;
    }
    void Click(int x, int y)
    {
        dialog.Mouse(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        dialog.Mouse(WM_LBUTTONUP, x, y);
    }
    std::vector<UINT> Codes() const
    {
        std::vector<UINT> codes;
        for (const auto& note : dialog.notes)
            codes.push_back(note.code);
        return codes;
    }
    // The frame colour shown near the button's top-left corner (inside the
    // nine-slice corner, away from the caption).
    bool Shows(int state)
    {
        dialog.Repaint();
        return dialog.capture.Near(rect.left + 3, rect.top + 3, kFrames[state][0], kFrames[state][1],
                                   kFrames[state][2], 3);
    }
    // The brightest channel value inside the button.
    int Brightest()
    {
        dialog.Repaint();
        int best = 0;
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x) {
                DWORD p = dialog.capture.At(x, y);
                best = std::max({best, FrameCapture::R(p), FrameCapture::G(p), FrameCapture::B(p)});
            }
        return best;
    }

    TestDialog dialog;
    std::wstring strip;
    CRect rect{20, 20, 140, 60};
};

} // namespace

TEST_F(Buttons, PressAndReleaseInsideGivesPressThenClick)
{
    MButton* button = MakeButton();
    dialog.Mouse(WM_MOUSEMOVE, 50, 40);
    EXPECT_EQ(MButton::STATE_HOVER, button->GetState());
    EXPECT_TRUE(Shows(MButton::STATE_HOVER));
    dialog.Mouse(WM_LBUTTONDOWN, 50, 40, MK_LBUTTON);
    EXPECT_EQ(MButton::STATE_PRESSED, button->GetState());
    EXPECT_TRUE(Shows(MButton::STATE_PRESSED));
    dialog.Mouse(WM_LBUTTONUP, 50, 40);
    EXPECT_EQ(MButton::STATE_HOVER, button->GetState());
    EXPECT_EQ((std::vector<UINT>{kNotifyPress, kNotifyClick}), Codes());
    EXPECT_EQ(37u, dialog.notes[1].id);
}

TEST_F(Buttons, PressMoveOutAndReleaseGivesNoClick)
{
    MButton* button = MakeButton();
    dialog.Mouse(WM_MOUSEMOVE, 50, 40);
    dialog.Mouse(WM_LBUTTONDOWN, 50, 40, MK_LBUTTON);
    dialog.Mouse(WM_MOUSEMOVE, 200, 150, MK_LBUTTON);
    EXPECT_EQ(MButton::STATE_PRESSED, button->GetState());
    dialog.Mouse(WM_LBUTTONUP, 200, 150);
    EXPECT_EQ(MButton::STATE_NORMAL, button->GetState());
    EXPECT_TRUE(Shows(MButton::STATE_NORMAL));
    EXPECT_EQ((std::vector<UINT>{kNotifyPress}), Codes());
}

TEST_F(Buttons, DisabledButtonShowsTheFourthFrameWithAGreyCaptionAndSendsNothing)
{
    MButton* button = MakeButton(L"WWWW");
    button->SetTextColor(Gdiplus::Color(0xFFFFFFFF));
    button->SetTitle(L"WWWW");
    EXPECT_GT(Brightest(), 0xE0);   // white caption on the red frame
    button->SetEnabled(0);
    EXPECT_EQ(MButton::STATE_DISABLED, button->GetState());
    EXPECT_TRUE(Shows(MButton::STATE_DISABLED));
    int brightest = Brightest();
    EXPECT_GT(brightest, 0x40);     // the caption is there...
    EXPECT_LE(brightest, 0x88);     // ...in grey
    dialog.Mouse(WM_MOUSEMOVE, 50, 40);
    Click(50, 40);
    EXPECT_EQ(MButton::STATE_DISABLED, button->GetState());
    EXPECT_TRUE(dialog.notes.empty());
    button->SetEnabled(1);
    EXPECT_EQ(MButton::STATE_NORMAL, button->GetState());
}

// With the default flag the second press of a double click is a press like the
// first: it captures the mouse, so moving out and releasing outside lets go of
// the button without a click.
TEST_F(Buttons, ADoubleClickIsASecondPressReleasedLikeTheFirst)
{
    MButton* button = MakeButton();
    const struct {
        const char* what;
        POINT release;
        std::vector<UINT> codes;
        int state;
    } cases[] = {
        {"released inside", {50, 40}, {kNotifyPress, kNotifyClick, kNotifyPress, kNotifyClick}, MButton::STATE_HOVER},
        {"moved out and released outside", {200, 150}, {kNotifyPress, kNotifyClick, kNotifyPress},
         MButton::STATE_NORMAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dialog.notes.clear();
        dialog.Mouse(WM_MOUSEMOVE, 50, 40);
        dialog.Mouse(WM_LBUTTONDOWN, 50, 40, MK_LBUTTON);
        dialog.Mouse(WM_LBUTTONUP, 50, 40);
        dialog.Mouse(WM_LBUTTONDBLCLK, 50, 40, MK_LBUTTON);
        EXPECT_EQ(dialog.GetSafeHwnd(), ::GetCapture());
        dialog.Mouse(WM_MOUSEMOVE, c.release.x, c.release.y, MK_LBUTTON);
        EXPECT_EQ(MButton::STATE_PRESSED, button->GetState());
        dialog.Mouse(WM_LBUTTONUP, c.release.x, c.release.y);
        EXPECT_EQ(nullptr, ::GetCapture());
        EXPECT_EQ(c.codes, Codes());
        EXPECT_EQ(c.state, button->GetState());
        EXPECT_TRUE(Shows(c.state));
    }
}

TEST_F(Buttons, StateChangesRepaintWithoutRebuilding)
{
    auto* button = new CountingButton(&dialog, 37, rect, L"OK", 1, 1);
    dialog.GetPaintManager()->AddControl(1, button);
    button->SetImage(strip.c_str(), 4);
    EXPECT_TRUE(Shows(MButton::STATE_NORMAL));
    int rebuilds = button->rebuilds;
    int draws = button->draws;
    EXPECT_GE(rebuilds, 1);
    dialog.Mouse(WM_MOUSEMOVE, 50, 40);
    EXPECT_TRUE(Shows(MButton::STATE_HOVER));
    dialog.Mouse(WM_LBUTTONDOWN, 50, 40, MK_LBUTTON);
    EXPECT_TRUE(Shows(MButton::STATE_PRESSED));
    dialog.Mouse(WM_LBUTTONUP, 200, 150);
    EXPECT_TRUE(Shows(MButton::STATE_NORMAL));
    button->SetEnabled(0);
    EXPECT_TRUE(Shows(MButton::STATE_DISABLED));
    EXPECT_GT(button->draws, draws + 3);
    // Disabling through the base marks the control stale once; hover, press and
    // release never do.
    EXPECT_LE(button->rebuilds, rebuilds + 1);
    // A caption change does rebuild.
    int before = button->rebuilds;
    button->SetTitle(L"Again");
    dialog.Repaint();
    EXPECT_EQ(before + 1, button->rebuilds);
}

TEST_F(Buttons, PressedCaptionMovesOnePixel)
{
    MButton* button = MakeButton(L"H");
    button->SetTextColor(Gdiplus::Color(0xFFFFFFFF));
    button->SetFont(L"Arial", 24, Gdiplus::FontStyleBold);
    button->SetTitle(L"H");
    auto firstBrightColumn = [&]() {
        dialog.Repaint();
        for (int x = rect.left; x < rect.right; ++x)
            for (int y = rect.top; y < rect.bottom; ++y)
                if (IsWhite(dialog.capture.At(x, y)))
                    return x;
        return -1;
    };
    int normal = firstBrightColumn();
    ASSERT_GT(normal, 0);
    dialog.Mouse(WM_MOUSEMOVE, 50, 40);
    dialog.Mouse(WM_LBUTTONDOWN, 50, 40, MK_LBUTTON);
    EXPECT_EQ(normal + 1, firstBrightColumn());
    dialog.Mouse(WM_LBUTTONUP, 50, 40);
}

TEST_F(Buttons, ImageButtonStretchesItsStripAndDrawsNoCaption)
{
    auto* button =
        static_cast<CImageButton*>(dialog.CreateControl(L"CImageButton", 8, rect, L"WWWWWW", 1, 1));
    ASSERT_EQ(1, button->SetImage(strip.c_str(), 4));
    button->SetTextColor(Gdiplus::Color(0xFFFFFFFF));
    EXPECT_TRUE(Shows(MButton::STATE_NORMAL));
    EXPECT_TRUE(dialog.capture.Near(rect.right - 10, rect.bottom - 10, 200, 0, 0, 3));
    EXPECT_LE(Brightest(), 205);   // no white caption
    dialog.Mouse(WM_MOUSEMOVE, 50, 40);
    EXPECT_TRUE(Shows(MButton::STATE_HOVER));
    Click(50, 40);
    EXPECT_EQ((std::vector<UINT>{kNotifyPress, kNotifyClick}), Codes());
}

TEST_F(Buttons, ImageButtonBubbleShowsWhileHovered)
{
    auto* button = static_cast<CImageButton*>(dialog.CreateControl(L"CImageButton", 8, rect, L"Settings", 1, 1));
    button->SetImage(strip.c_str(), 4);
    dialog.Mouse(WM_MOUSEMOVE, 50, 40);
    EXPECT_EQ(nullptr, dialog.GetPaintManager()->GetAirBladder());   // mode 0: no bubble
    dialog.Mouse(WM_MOUSEMOVE, 200, 150);
    button->SetAlrBladderMode(1);
    dialog.Mouse(WM_MOUSEMOVE, 50, 40);
    MAirBladder* balloon = dialog.GetPaintManager()->GetAirBladder();
    ASSERT_NE(nullptr, balloon);
    EXPECT_TRUE(::IsWindowVisible(balloon->GetSafeHwnd()));
    EXPECT_EQ(L"Settings", balloon->GetText());
    POINT expected = {rect.right, rect.top + rect.Height() / 2};
    ::ClientToScreen(dialog.GetSafeHwnd(), &expected);
    EXPECT_EQ(expected.x, balloon->GetPoint().x);
    EXPECT_EQ(expected.y, balloon->GetPoint().y);
    EXPECT_EQ(expected.x, balloon->GetBalloonRect().left);   // to the right of the edge
    dialog.Mouse(WM_MOUSEMOVE, 200, 150);
    EXPECT_FALSE(::IsWindowVisible(balloon->GetSafeHwnd()));
}
