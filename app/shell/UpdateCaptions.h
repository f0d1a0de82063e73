#pragma once

// Captions of the update service's message boxes.
inline constexpr wchar_t kSoftwareCaption[] = L"Vantrel Glimra Software Updates";
inline constexpr wchar_t kFirmwareCaption[] = L"Vantrel Glimra Firmware Updates";
inline constexpr wchar_t kUpgradeCaption[] = L"Vantrel Glimra Firmware Upgrade";
