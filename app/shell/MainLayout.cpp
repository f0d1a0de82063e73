#include "MainLayout.h"

namespace MainLayout {

namespace {
bool Contains(const RECT& r, POINT pt)
{
    return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom;
}
}  // namespace

ClickAction DecideClick(POINT pt, bool settingsPageShown)
{
    if (Contains(kSource, pt))
        return settingsPageShown ? ClickAction::Swallow : ClickAction::ToggleSource;
    if (Contains(kLed, pt))
        return settingsPageShown ? ClickAction::Swallow : ClickAction::ToggleLight;
    if (Contains(kUnit, pt))
        return settingsPageShown ? ClickAction::Swallow : ClickAction::ToggleUnit;
    if (Contains(kFaq, pt))
        return settingsPageShown ? ClickAction::OpenWebPage : ClickAction::Nothing;
    if (Contains(kClose, pt))
        return ClickAction::HideWindow;
    if (Contains(kSettings, pt))
        return settingsPageShown ? ClickAction::ShowMainPage : ClickAction::ShowSettingsPage;
    return ClickAction::None;
}

}  // namespace MainLayout
