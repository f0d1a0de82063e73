#pragma once
#include <windows.h>

#include "DisplayReport.h"

// The main window's fixed layout (client pixels; right and bottom exclusive)
// and the decision of what a left click does. No window in here.

namespace MainLayout {

// The main window's style: a visible pop-up that clips its children and
// siblings and can be minimised.
inline constexpr DWORD kWindowStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_MINIMIZEBOX;
static_assert(kWindowStyle == 0x96020000);

inline constexpr RECT kClose{451, 14, 477, 39};
inline constexpr RECT kSettings{406, 12, 434, 40};
inline constexpr RECT kUnit{84, 106, 417, 245};
inline constexpr RECT kLed{24, 12, 117, 43};
inline constexpr RECT kSource{205, 289, 296, 317};
inline constexpr RECT kFaq{140, 220, 365, 280};
inline constexpr RECT kSwVersion{110, 70, 410, 95};
inline constexpr RECT kFwVersion{140, 120, 390, 145};
inline constexpr RECT kDevice{195, 170, 420, 195};
inline constexpr RECT kSoftwareUpdate{120, 300, 240, 330};
inline constexpr RECT kFirmwareUpdate{265, 300, 385, 330};
inline constexpr RECT kProgress{120, 340, 380, 360};

// Control ids. The settings and close buttons share 30; the software version
// and device labels share 35.
enum ControlId : unsigned {
    kIdClose = 30,
    kIdSettings = 30,
    kIdLed = 31,
    kIdUnit = 32,
    kIdSource = 33,
    kIdFaq = 34,
    kIdSwVersion = 35,
    kIdFwVersion = 36,
    kIdDevice = 35,
    kIdSoftwareUpdate = 37,
    kIdFirmwareUpdate = 38,
    kIdProgress = 39,
};

enum class ClickAction {
    None,            // outside every rectangle
    Swallow,         // a main-page picture clicked on the settings page: handled, nothing done
    ToggleSource,    // CPU <-> GPU
    ToggleLight,     // display light on <-> off
    ToggleUnit,      // Celsius <-> Fahrenheit
    OpenWebPage,     // the link picture on the settings page
    HideWindow,      // the close button
    ShowMainPage,    // the return button on the settings page
    ShowSettingsPage,
    Nothing,         // the link picture's rectangle on the main page
};

// The first rectangle containing pt decides, in the order source, light, unit,
// link, close, gear: overlapping rectangles resolve by that order.
ClickAction DecideClick(POINT pt, bool settingsPageShown);

// The values the switches store; any value other than the one they leave
// flips to it.
inline int NextDeviceType(int deviceType) { return deviceType != 0 ? 0 : 1; }
inline int NextLedSwitch(int ledSwitch) { return ledSwitch == 1 ? 2 : 1; }
inline int NextTempeType(int tempeType) { return IsFahrenheit(tempeType) ? 0 : 1; }

}  // namespace MainLayout
