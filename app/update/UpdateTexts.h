#pragma once
#include <string>

// What the update service's boxes say.
inline constexpr wchar_t kSoftwareCaption[] = L"Vantrel Glimra Software Updates";
inline constexpr wchar_t kFirmwareCaption[] = L"Vantrel Glimra Firmware Updates";
inline constexpr wchar_t kUpgradeCaption[] = L"Vantrel Glimra Firmware Upgrade";

inline constexpr wchar_t kSoftwareLatestText[] = L"The software is the latest version!";
inline constexpr wchar_t kFirmwareLatestText[] = L"The Firmware is the latest version!";
inline constexpr wchar_t kFirmwareUnknownText[] =
    L"The firmware version of the device could not be read.\n\nPlease reconnect the device and try again.";
inline constexpr wchar_t kNotConnectedCaption[] = L"Device Not Connected";
inline constexpr wchar_t kNotConnectedText[] = L"Please connect the device and try again!";

// Why a software check found nothing to compare.
inline constexpr wchar_t kNoInternetReason[] = L"The internet connection could not be opened.";
inline constexpr wchar_t kServerFailedReason[] = L"The update server could not be reached or gave no version file.";
inline constexpr wchar_t kNoVersionReason[] = L"The update server's version file holds no version.";

// "Detected the latest version:v<version>, update now?"
std::wstring OfferText(const std::wstring& version);
// "Could not check for updates" and the reason.
std::wstring CheckFailedText(const std::wstring& reason);
// The upgrade's result box: at -1 chosen by the status, at 100 by success.
std::wstring UpgradeFailureText(const std::wstring& status);
std::wstring UpgradeEndText(bool succeeded);
