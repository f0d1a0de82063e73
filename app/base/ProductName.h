#pragma once

// The product name: registry key, instance mutex, main window property and
// tray tooltip all use this one string.
inline constexpr wchar_t kProductName[] = L"Vantrel Glimra";

// The product's web page, opened by the link picture on the settings page.
inline constexpr wchar_t kProductWebPage[] = L"https://www.vantrel-glimra.com/support";
