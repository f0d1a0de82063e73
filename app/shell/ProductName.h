#pragma once

// The product name: registry key, instance mutex, main window property and
// tray tooltip all use this one string.
inline constexpr wchar_t kProductName[] = L"Vantrel Glimra";
