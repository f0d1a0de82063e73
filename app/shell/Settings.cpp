#include "Settings.h"

#include <windows.h>

#include <cstdlib>

#include "ProductName.h"
#include "UniqueResource.h"

namespace {

std::wstring SettingsKeyPath()
{
    return std::wstring(L"SOFTWARE\\") + kProductName;
}

// The leading number of a value under an open key, 0 on any failure.
int NumberOf(HKEY key, const wchar_t* name)
{
    // 512 bytes, of which the query may fill at most 255: the string always
    // ends inside the buffer, whatever type or length the stored value has.
    wchar_t buffer[256] = {};
    DWORD size = 255;
    const LSTATUS rc = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    buffer[255] = L'\0';
    // A value too long for the buffer leaves its contents undefined: read it as 0.
    if (rc != ERROR_SUCCESS)
        return 0;
    return _wtoi(buffer);
}
}  // namespace

int ReadRegValue(const wchar_t* name)
{
    const std::wstring keyPath = SettingsKeyPath();
    UniqueRegKey key;
    LSTATUS rc = RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_ALL_ACCESS, key.put());
    if (rc == ERROR_FILE_NOT_FOUND) {
        UniqueRegKey created;
        RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, created.put(), nullptr);
        return 0;
    }
    if (rc != ERROR_SUCCESS)
        return 0;
    return NumberOf(key.get(), name);
}

int PeekRegValue(const wchar_t* name)
{
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return 0;
    return NumberOf(key.get(), name);
}

void WriteRegValue(const wchar_t* name, const wchar_t* data)
{
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, KEY_ALL_ACCESS, key.put()) !=
        ERROR_SUCCESS)
        return;
    const DWORD bytes = static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t));
    RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
}

StartupSettings ReadStartupSettings()
{
    StartupSettings s;
    s.ledSwitch = ReadRegValue(kLedSwitchValue);
    if (s.ledSwitch == 0) {
        WriteRegValue(kLedSwitchValue, L"1");
        s.ledSwitch = 1;
    }
    s.deviceType = ReadRegValue(kDeviceTypeValue);
    s.tempeType = ReadRegValue(kTempeTypeValue);
    return s;
}
