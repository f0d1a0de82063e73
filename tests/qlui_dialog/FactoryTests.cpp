// The class-name factory of dialogs: which names build which class, with which
// visible and enabled flags, into which list.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "CArea.h"
#include "CImageButton.h"
#include "DialogTestSupport.h"
#include "MButton.h"
#include "MPicture.h"
#include "MProgress.h"
#include "MText.h"

namespace {

class Factory : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, dialog.Open(40, 40, 300, 200)); }
    bool InControls(MControl* control)
    {
        auto& list = dialog.GetControls();
        return std::find(list.begin(), list.end(), control) != list.end();
    }
    bool InAreas(MControl* control)
    {
        auto& list = dialog.GetPaintManager()->GetAreas();
        return std::find(list.begin(), list.end(), control) != list.end();
    }

    TestDialog dialog;
    CRect rect{10, 10, 60, 40};
};

} // namespace

TEST_F(Factory, EveryBuiltNameConstructsItsClass)
{
    EXPECT_NE(nullptr, dynamic_cast<CArea*>(dialog.CreateControl(L"CArea", 1, rect, nullptr, 1, 1)));
    EXPECT_NE(nullptr, dynamic_cast<MText*>(dialog.CreateControl(L"MText", 2, rect, L"t", 1, 1)));
    EXPECT_NE(nullptr, dynamic_cast<MPicture*>(dialog.CreateControl(L"MPicture", 3, rect, nullptr, 1, 1)));
    EXPECT_NE(nullptr, dynamic_cast<MProgress*>(dialog.CreateControl(L"MProgress", 4, rect, nullptr, 1, 1)));
    MControl* button = dialog.CreateControl(L"MButton", 5, rect, L"OK", 1, 1);
    EXPECT_NE(nullptr, dynamic_cast<MButton*>(button));
    EXPECT_EQ(nullptr, dynamic_cast<CImageButton*>(button));
    EXPECT_NE(nullptr, dynamic_cast<CImageButton*>(dialog.CreateControl(L"CImageButton", 6, rect, L"x", 1, 1)));
    EXPECT_EQ(6u, dialog.GetControls().size());
    for (MControl* control : dialog.GetControls()) {
        EXPECT_STREQ(L"MControl", control->GetClassNameW());
        EXPECT_EQ(dialog.GetPaintManager(), control->GetManager());
        EXPECT_EQ(static_cast<MObject*>(&dialog), control->GetParantObject());
    }
}

TEST_F(Factory, VisibleAndEnabledFollowTheArgumentGroups)
{
    MControl* button = dialog.CreateControl(L"MButton", 37, rect, L"OK", 1, 1);
    EXPECT_TRUE(button->IsVisible());
    EXPECT_TRUE(button->IsEnabled());
    EXPECT_EQ(L"OK", static_cast<MButton*>(button)->GetTitle());
    MControl* off = dialog.CreateControl(L"CImageButton", 38, rect, L"tip", 0, 0);
    EXPECT_FALSE(off->IsVisible());
    EXPECT_FALSE(off->IsEnabled());
    // The text control is always disabled, so it never takes clicks.
    MControl* text = dialog.CreateControl(L"MText", 39, rect, L"label", 1, 1);
    EXPECT_TRUE(text->IsVisible());
    EXPECT_FALSE(text->IsEnabled());
    EXPECT_EQ(L"label", static_cast<MText*>(text)->GetTitle());
    // Group E forces enabled.
    MControl* area = dialog.CreateControl(L"CArea", 40, rect, L"ignored", 1, 0);
    EXPECT_TRUE(area->IsEnabled());
    MControl* hiddenArea = dialog.CreateControl(L"CArea", 41, rect, nullptr, 0, 0);
    EXPECT_FALSE(hiddenArea->IsVisible());
    EXPECT_TRUE(hiddenArea->IsEnabled());
    // Group C: visible and enabled, no text.
    MControl* picture = dialog.CreateControl(L"MPicture", 42, rect, L"ignored", 1, 0);
    EXPECT_TRUE(picture->IsVisible());
    EXPECT_FALSE(picture->IsEnabled());
    EXPECT_TRUE(static_cast<MPicture*>(picture)->GetTitle().IsEmpty());
    MControl* progress = dialog.CreateControl(L"MProgress", 43, rect, nullptr, 0, 1);
    EXPECT_FALSE(progress->IsVisible());
    EXPECT_TRUE(progress->IsEnabled());
}

TEST_F(Factory, WrongCaseEmptyAndUnbuiltNamesGiveNull)
{
    EXPECT_EQ(nullptr, dialog.CreateControl(L"mbutton", 1, rect, L"OK", 1, 1));
    EXPECT_EQ(nullptr, dialog.CreateControl(L"MBUTTON", 1, rect, L"OK", 1, 1));
    EXPECT_EQ(nullptr, dialog.CreateControl(L"", 1, rect, L"OK", 1, 1));
    EXPECT_EQ(nullptr, dialog.CreateControl(nullptr, 1, rect, L"OK", 1, 1));
    EXPECT_EQ(nullptr, dialog.CreateArea(L"", 1, rect, nullptr, 1, 1));
    // Listed names of classes this library does not build, and unlisted names.
    for (const wchar_t* name : {L"CTextButton", L"MSlider", L"MEdit", L"CImageButton2", L"MenuItem", L"CHomeFuncCtrl",
                                L"MDialog", L"MControl", L"MButton "})
        EXPECT_EQ(nullptr, dialog.CreateControl(name, 1, rect, L"x", 1, 1)) << static_cast<const void*>(name);
    EXPECT_TRUE(dialog.GetControls().empty());
    EXPECT_TRUE(dialog.GetPaintManager()->GetAreas().empty());
}

TEST_F(Factory, AreasAndControlsGoToTheirLists)
{
    MControl* picture = dialog.CreateArea(L"MPicture", 7, rect, nullptr, 1, 1);
    MControl* button = dialog.CreateControl(L"MButton", 8, rect, L"OK", 1, 1);
    EXPECT_TRUE(InAreas(picture));
    EXPECT_FALSE(InControls(picture));
    EXPECT_TRUE(InControls(button));
    EXPECT_FALSE(InAreas(button));
    EXPECT_EQ(picture, dialog.GetControl(7));
    EXPECT_EQ(button, dialog.GetControl(8));
    EXPECT_EQ(nullptr, dialog.GetControl(9));
}

TEST_F(Factory, AreasReceiveNoInputAndControlsDo)
{
    dialog.CreateArea(L"MButton", 7, CRect(10, 10, 100, 50), L"area", 1, 1);
    dialog.Mouse(WM_MOUSEMOVE, 30, 30);
    dialog.Mouse(WM_LBUTTONDOWN, 30, 30, MK_LBUTTON);
    dialog.Mouse(WM_LBUTTONUP, 30, 30);
    EXPECT_TRUE(dialog.notes.empty());
    dialog.CreateControl(L"MButton", 37, CRect(10, 10, 100, 50), L"OK", 1, 1);
    dialog.Mouse(WM_MOUSEMOVE, 31, 30);
    dialog.Mouse(WM_LBUTTONDOWN, 31, 30, MK_LBUTTON);
    dialog.Mouse(WM_LBUTTONUP, 31, 30);
    ASSERT_EQ(2u, dialog.notes.size());
    EXPECT_EQ(37u, dialog.notes[0].id);
}

TEST_F(Factory, ClicksOnATextGoToItsParent)
{
    dialog.CreateControl(L"MText", 5, CRect(10, 10, 100, 50), L"label", 1, 1);
    dialog.Mouse(WM_MOUSEMOVE, 30, 30);
    dialog.Mouse(WM_LBUTTONDOWN, 30, 30, MK_LBUTTON);
    dialog.Mouse(WM_LBUTTONUP, 30, 30);
    EXPECT_TRUE(dialog.notes.empty());
    EXPECT_NE(std::find(dialog.log.begin(), dialog.log.end(), "OnLButtonDown"), dialog.log.end());
}

TEST_F(Factory, DialogNamesItsClassCaseSensitively)
{
    EXPECT_STREQ(L"MDialog", dialog.GetClassNameW());
    EXPECT_TRUE(dialog.IsClass(L"MDialog"));
    EXPECT_FALSE(dialog.IsClass(L"mdialog"));
    EXPECT_STREQ(L"QLWindow", dialog.GetWindowClassName());
    EXPECT_EQ(nullptr, dialog.GetSuperClassName());
}
