#include "ControlFactory.h"

#include <cwchar>

#include "CArea.h"
#include "CImageButton.h"
#include "MButton.h"
#include "MPicture.h"
#include "MProgress.h"
#include "MText.h"

namespace {

// Builds one control class from the dialog's arguments (already narrowed to
// what the class's constructor takes: unused text is null, forced flags set).
typedef MControl* (*ControlBuilder)(MObject* parent, UINT id, CRect rect, const wchar_t* text, int visible,
                                    int enabled);

// The three constructor shapes of the built classes.
template <class T>
MControl* WithTextAndFlags(MObject* parent, UINT id, CRect rect, const wchar_t* text, int visible, int enabled)
{
    return new T(parent, id, rect, text, visible, enabled);
}

template <class T>
MControl* WithText(MObject* parent, UINT id, CRect rect, const wchar_t* text, int visible, int)
{
    return new T(parent, id, rect, text, visible);
}

template <class T>
MControl* WithFlags(MObject* parent, UINT id, CRect rect, const wchar_t*, int visible, int enabled)
{
    return new T(parent, id, rect, visible, enabled);
}

// Constructor argument groups after parent, id and rect:
// A text, visible, enabled; B text, visible; C visible, enabled; D visible;
// E visible (enabled forced 1); F text, visible (enabled forced 1).
struct ControlClass {
    const wchar_t* name;
    char group;
    ControlBuilder build;
};

const ControlClass* Classes(size_t& count)
{
    static const ControlClass classes[] = {
        {L"CArea", 'E', &WithFlags<CArea>}, {L"MText", 'B', &WithText<MText>},
        {L"MPicture", 'C', &WithFlags<MPicture>}, {L"CPhotoFrame", 'C', nullptr}, {L"CSliderPicture", 'C', nullptr},
        {L"CGifPicture", 'C', nullptr}, {L"MProgress", 'C', &WithFlags<MProgress>}, {L"MSlider", 'C', nullptr},
        {L"MLevelCtrl", 'C', nullptr}, {L"MButton", 'A', &WithTextAndFlags<MButton>},
        {L"CImageButton", 'A', &WithTextAndFlags<CImageButton>}, {L"CTextButton", 'A', nullptr},
        {L"CCheckButton", 'A', nullptr}, {L"CRadioButton", 'A', nullptr}, {L"CColorButton", 'C', nullptr},
        {L"MSpinButton", 'C', nullptr}, {L"CSpinButton", 'C', nullptr}, {L"CSwitchButton", 'C', nullptr},
        {L"CIconButton", 'A', nullptr}, {L"CTimerButton", 'A', nullptr}, {L"CHelpButton", 'A', nullptr},
        {L"MEdit", 'A', nullptr}, {L"MRichEdit", 'A', nullptr}, {L"MEditEx", 'A', nullptr},
        {L"MComboBox", 'C', nullptr}, {L"MTabCtrl", 'C', nullptr}, {L"MTabLayout", 'D', nullptr},
        {L"MListBox", 'D', nullptr}, {L"MPalette", 'D', nullptr}, {L"CColorPalette", 'D', nullptr},
        {L"CColorSelect", 'D', nullptr}, {L"CirclePalette", 'E', nullptr}, {L"CComboBoxList", 'E', nullptr},
        {L"MenuItem", 'F', nullptr}, {L"KeyboardCtrl", 'D', nullptr}, {L"CDeviceCtrl", 'E', nullptr},
        {L"CFanDevCtrl", 'E', nullptr}, {L"MButton2", 'F', nullptr}, {L"CImageButton2", 'F', nullptr},
        {L"CTabCtrl2", 'E', nullptr}, {L"CTabCtrlEx", 'E', nullptr}, {L"CTabCtrl5", 'E', nullptr},
        {L"CHomeFuncCtrl", 'E', nullptr},
    };
    count = sizeof(classes) / sizeof(classes[0]);
    return classes;
}

} // namespace

MControl* CreateControlByName(const wchar_t* className, MObject* parent, UINT id, CRect rect, const wchar_t* text,
                              int visible, int enabled)
{
    if (className == nullptr || className[0] == 0)
        return nullptr;
    size_t count = 0;
    const ControlClass* classes = Classes(count);
    for (size_t i = 0; i < count; ++i) {
        if (std::wcscmp(classes[i].name, className) != 0)
            continue;
        if (classes[i].build == nullptr)
            return nullptr;
        switch (classes[i].group) {
        case 'B': return classes[i].build(parent, id, rect, text, visible, 0);
        case 'C': return classes[i].build(parent, id, rect, nullptr, visible, enabled);
        case 'D': return classes[i].build(parent, id, rect, nullptr, visible, 0);
        case 'E': return classes[i].build(parent, id, rect, nullptr, visible, 1);
        case 'F': return classes[i].build(parent, id, rect, text, visible, 1);
        default: return classes[i].build(parent, id, rect, text, visible, enabled);
        }
    }
    return nullptr;
}
