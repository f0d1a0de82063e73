#pragma once
#include <string>

// The three user choices kept under HKCU\SOFTWARE\Vantrel Glimra as decimal
// strings. UI thread only.

inline constexpr wchar_t kLedSwitchValue[] = L"led_switch";
inline constexpr wchar_t kDeviceTypeValue[] = L"device_type";
inline constexpr wchar_t kTempeTypeValue[] = L"tempe_type";

// The value's number (leading digits of the string), 0 on any failure. Creates
// the key when it does not exist yet (and then returns 0).
int ReadRegValue(const wchar_t* name);
// The same number, read only: nothing is created or changed.
int PeekRegValue(const wchar_t* name);
// Stores data as REG_SZ; silently does nothing when the key cannot be opened.
void WriteRegValue(const wchar_t* name, const wchar_t* data);

struct StartupSettings {
    int ledSwitch = 1;   // 1 on, anything else off
    int deviceType = 0;  // 0 CPU, non-zero GPU
    int tempeType = 0;   // 0 Celsius, 1 Fahrenheit
};

// The start-up read, in the order led_switch, device_type, tempe_type. A
// led_switch of 0 (absent or "0") is stored back as "1" and taken as 1.
StartupSettings ReadStartupSettings();
