#pragma once
#include <string>

// The update decisions, free of windows and I/O.

// 0 equal, 1 when b is newer, -1 when a is newer, 2 when the two have a
// different number of dot-separated parts. Parts compare by their leading
// decimal digits (_wtoi); empty parts count.
int CompareVersions(const std::wstring& a, const std::wstring& b);

enum class SoftwareVerdict {
    Rejected,   // once trimmed, not four numbers a.b.c.d of at most 10 characters
    Latest,
    Available,  // newer
};
SoftwareVerdict JudgeSoftwareVersion(const std::wstring& current, const std::wstring& offered);

// The cooler's firmware version number: the raw value written as lower-case
// hexadecimal and read back as decimal (0x13 is 13, 0x0A is 0, 0x1A is 1).
int FirmwareVersionNumber(int raw);
// The raw value's hexadecimal text ("%x").
std::wstring FirmwareHexText(int raw);

inline constexpr wchar_t kTargetFirmwareVersion[] = L"13";

enum class FirmwareVerdict {
    UpgradeFromZero,  // no valid firmware
    OldBand,          // 1 to 8: never offered the upgrade
    Upgrade,          // 9 up to the target
    Latest,           // the target or above
};
FirmwareVerdict ClassifyFirmware(int raw, const std::wstring& target);
