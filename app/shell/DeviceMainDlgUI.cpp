// The main window's layout and clicks: two pages, three switch pictures, the
// version and device labels, and the two update buttons.
#include <windows.h>

#include <cwchar>

#include "CImageButton.h"
#include "DeviceMainDlg.h"
#include "MButton.h"
#include "MPicture.h"
#include "MProgress.h"
#include "MText.h"
#include "MainLayout.h"
#include "ProductName.h"
#include "Settings.h"
#include "UnelevatedShell.h"
#include "Version.h"

using namespace MainLayout;

namespace {

constexpr wchar_t kLabelFont[] = L"Alibaba-PuHuiTi-Medium";
constexpr int kLabelFontSize = 28;
const Gdiplus::Color kLabelColour(0xFF000000);
const Gdiplus::Color kButtonTextColour(0xFF141414);

template <typename T>
T* Make(MControl* control)
{
    return static_cast<T*>(control);
}

void Place(MControl* control, const RECT& r)
{
    if (control != nullptr)
        control->SetRect(CRect(r.left, r.top, r.right, r.bottom));
}

void Show(MControl* control, bool visible)
{
    if (control != nullptr)
        control->SetVisible(visible ? 1 : 0);
}

}  // namespace

void DeviceMainDlg::InitUI(CRect client)
{
    SetLayeredWindow(TRUE);
    const CRect none(0, 0, 0, 0);

    closeButton = Make<CImageButton>(CreateControl(L"CImageButton", kIdClose, none, nullptr, 1, 1));
    settingsButton = Make<CImageButton>(CreateControl(L"CImageButton", kIdSettings, none, nullptr, 1, 1));
    unitPicture = Make<MPicture>(CreateArea(L"MPicture", kIdUnit, none, nullptr, 1, 1));
    ledPicture = Make<MPicture>(CreateArea(L"MPicture", kIdLed, none, nullptr, 1, 1));
    sourcePicture = Make<MPicture>(CreateArea(L"MPicture", kIdSource, none, nullptr, 1, 1));
    faqPicture = Make<MPicture>(CreateArea(L"MPicture", kIdFaq, none, nullptr, 1, 1));
    const std::wstring swVersion = std::wstring(L"SW Version: V") + kSoftwareVersion;
    swVersionText = Make<MText>(CreateControl(L"MText", kIdSwVersion, none, swVersion.c_str(), 1, 1));
    fwVersionText = Make<MText>(CreateControl(L"MText", kIdFwVersion, none, L"FW Version:", 1, 1));
    deviceText = Make<MText>(CreateControl(L"MText", kIdDevice, none, L"Device:", 1, 1));
    softwareUpdateButton = Make<MButton>(CreateControl(L"MButton", kIdSoftwareUpdate, none, L"Software update", 1, 1));
    firmwareUpdateButton = Make<MButton>(CreateControl(L"MButton", kIdFirmwareUpdate, none, L"Firmware update", 1, 1));
    progressBar = Make<MProgress>(CreateControl(L"MProgress", kIdProgress, none, nullptr, 1, 1));

    if (closeButton != nullptr)
        closeButton->SetImage(L"img_close.png", 4);
    if (settingsButton != nullptr)
        settingsButton->SetImage(L"img_set.png", 4);
    if (faqPicture != nullptr)
        faqPicture->SetImage(L"img_FAQ.png", 1);
    ApplySwitchPictures();
    for (MText* label : {swVersionText, fwVersionText, deviceText}) {
        if (label == nullptr)
            continue;
        label->SetFont(kLabelFont, kLabelFontSize, Gdiplus::FontStyleBold);
        label->SetTextColor(kLabelColour);
    }
    for (MButton* button : {softwareUpdateButton, firmwareUpdateButton}) {
        if (button == nullptr)
            continue;
        button->SetImage(L"img_button.png", 4);
        button->SetTextColor(kButtonTextColour);
    }
    if (progressBar != nullptr) {
        progressBar->SetMaxProgress(100);
        progressBar->SetProgress(0);
    }
    for (MControl* hidden : std::initializer_list<MControl*>{faqPicture, swVersionText, fwVersionText, deviceText,
                                                             softwareUpdateButton, firmwareUpdateButton, progressBar})
        Show(hidden, false);

    UISize(client);
}

void DeviceMainDlg::UISize(CRect client)
{
    if (client.right - client.left <= 10)
        return;
    Place(closeButton, kClose);
    Place(settingsButton, kSettings);
    Place(unitPicture, kUnit);
    Place(ledPicture, kLed);
    Place(sourcePicture, kSource);
    Place(faqPicture, kFaq);
    Place(swVersionText, kSwVersion);
    Place(fwVersionText, kFwVersion);
    Place(deviceText, kDevice);
    Place(softwareUpdateButton, kSoftwareUpdate);
    Place(firmwareUpdateButton, kFirmwareUpdate);
    Place(progressBar, kProgress);
}

LRESULT DeviceMainDlg::OnMouseMove(UINT keys, CPoint pt)
{
    const LRESULT result = MDialog::OnMouseMove(keys, pt);
    const int hover = CRect(kClose.left, kClose.top, kClose.right, kClose.bottom).PtInRect(pt) ? 1 : 0;
    if (hover != closeHover) {
        closeHover = hover;
        InvalidateClient();
    }
    return result;
}

LRESULT DeviceMainDlg::OnLButtonDown(UINT keys, CPoint pt)
{
    const LRESULT result = MDialog::OnLButtonDown(keys, pt);
    switch (DecideClick(POINT{pt.x, pt.y}, settingsPageShown != 0)) {
    case ClickAction::Swallow:
        return 1;
    case ClickAction::ToggleSource:
        SetDeviceType(NextDeviceType(DeviceType()));
        WriteRegValue(kDeviceTypeValue, DeviceType() != 0 ? L"1" : L"0");
        break;
    case ClickAction::ToggleLight:
        SetLedSwitch(NextLedSwitch(LedSwitch()));
        WriteRegValue(kLedSwitchValue, LedSwitch() == 2 ? L"2" : L"1");
        break;
    case ClickAction::ToggleUnit:
        SetTempeType(NextTempeType(TempeType()));
        WriteRegValue(kTempeTypeValue, TempeType() != 0 ? L"1" : L"0");
        break;
    case ClickAction::OpenWebPage:
        OpenWithUserShell(kProductWebPage);  // never from this elevated process
        break;
    case ClickAction::HideWindow:
        ShowWindow(SW_HIDE);
        break;
    case ClickAction::ShowMainPage:
        ShowPage(false);
        break;
    case ClickAction::ShowSettingsPage:
        ShowPage(true);
        break;
    case ClickAction::Nothing:
    case ClickAction::None:
        break;
    }
    ApplySwitchPictures();
    InvalidateClient();
    return result;
}

// The window class takes double clicks: the second click of a fast pair
// arrives as one and is a click like the first.
LRESULT DeviceMainDlg::OnLButtonDblClk(UINT keys, CPoint pt)
{
    return OnLButtonDown(keys, pt);
}

LRESULT DeviceMainDlg::OnLButtonUp(UINT keys, CPoint pt)
{
    return MDialog::OnLButtonUp(keys, pt);
}

void DeviceMainDlg::ShowPage(bool settings)
{
    settingsPageShown = settings ? 1 : 0;
    for (MControl* picture : std::initializer_list<MControl*>{unitPicture, ledPicture, sourcePicture})
        Show(picture, !settings);
    for (MControl* control : std::initializer_list<MControl*>{faqPicture, swVersionText, fwVersionText, deviceText,
                                                              softwareUpdateButton, firmwareUpdateButton})
        Show(control, settings);
    if (settings)
        UpdateFwVersionText();
    if (settingsButton != nullptr)
        settingsButton->SetImage(settings ? L"img_return.png" : L"img_set.png", 4);
}

void DeviceMainDlg::ApplySwitchPictures()
{
    if (unitPicture != nullptr)
        unitPicture->SetImage(IsFahrenheit(TempeType()) ? L"img_temp_type2.png" : L"img_temp_type1.png", 1);
    if (ledPicture != nullptr)
        ledPicture->SetImage(LedSwitch() == 1 ? L"img_led_on.png" : L"img_led_off.png", 1);
    if (sourcePicture != nullptr)
        sourcePicture->SetImage(DeviceType() != 0 ? L"img_dev_gpu.png" : L"img_dev_cpu.png", 1);
}

void DeviceMainDlg::UpdateFwVersionText()
{
    if (fwVersionText == nullptr)
        return;
    wchar_t text[48];
    const FirmwareVersion firmware = Firmware();
    if (firmware.known && firmware.value >= 0)
        swprintf(text, ARRAYSIZE(text), L"FW Version: V%x", static_cast<unsigned>(firmware.value));
    else
        wcscpy(text, L"FW Version: 0");
    fwVersionText->SetTitle(text);
}

void DeviceMainDlg::InvalidateClient()
{
    RECT client{};
    if (GetClientRect(&client))
        InvalidateRect(CRect(client.left, client.top, client.right, client.bottom), FALSE);
}
