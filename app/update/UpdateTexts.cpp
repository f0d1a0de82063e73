#include "UpdateTexts.h"

#include <cstdio>

namespace {

struct FailureText {
    const wchar_t* statusPart;
    const wchar_t* text;
};
constexpr FailureText kFailureTexts[] = {
    {L"Device not connected",
     L"Firmware upgrade failed!\n\nDevice not connected, please check USB connection and retry."},
    {L"Device disconnected",
     L"Firmware upgrade failed!\n\nDevice disconnected during upgrade, please reconnect and retry."},
    {L"Cannot open firmware file",
     L"Firmware upgrade failed!\n\nCannot open firmware file, please check file integrity and retry."},
    {L"Failed to send upgrade command",
     L"Firmware upgrade failed!\n\nFailed to send upgrade command, please check device connection and retry."},
    {L"Data transfer failed",
     L"Firmware upgrade failed!\n\nData transfer failed, please check device connection and retry."},
};

}  // namespace

std::wstring OfferText(const std::wstring& version)
{
    wchar_t text[256];
    swprintf(text, sizeof text / sizeof text[0], L"%ls:v%ls, %ls", L"Detected the latest version", version.c_str(),
             L"update now?");
    return text;
}

std::wstring CheckFailedText(const std::wstring& reason)
{
    return L"Could not check for updates\n\n" + reason;
}

std::wstring UpgradeFailureText(const std::wstring& status)
{
    for (const FailureText& row : kFailureTexts) {
        if (status.find(row.statusPart) != std::wstring::npos)
            return row.text;
    }
    return L"Firmware upgrade failed!\n\nError: " + status + L"\n\nPlease restart and retry.";
}

std::wstring UpgradeEndText(bool succeeded)
{
    return succeeded ? L"Firmware upgrade successful!\n\nDevice upgraded to latest version."
                     : L"Firmware upgrade failed!\n\nUpgrade process interrupted.\n\nPlease restart and retry.";
}
