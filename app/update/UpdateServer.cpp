#include "UpdateServer.h"

#include <windows.h>

#include <cwctype>

#include "BuildFlavour.h"
#include "ProductName.h"
#include "UniqueResource.h"

namespace {

bool IsHttpsAddress(const std::wstring& address)
{
    constexpr wchar_t kScheme[] = L"https://";
    constexpr size_t kSchemeLength = sizeof(kScheme) / sizeof(kScheme[0]) - 1;
    if (address.size() <= kSchemeLength || _wcsnicmp(address.c_str(), kScheme, kSchemeLength) != 0)
        return false;
    const wchar_t first = address[kSchemeLength];
    return first != L'/' && first != L'\\' && !std::iswspace(first);
}

std::wstring WithoutTrailingSlashes(std::wstring address)
{
    while (!address.empty() && address.back() == L'/')
        address.pop_back();
    return address;
}

std::wstring EnvironmentAddress()
{
    wchar_t value[1024];
    const DWORD n = GetEnvironmentVariableW(kUpdateServerVariable, value, ARRAYSIZE(value));
    return n > 0 && n < ARRAYSIZE(value) ? std::wstring(value, n) : std::wstring();
}

// The mirror an administrator set: HKLM is writable by administrators only.
std::wstring MachineAddress()
{
    UniqueRegKey key;
    const std::wstring path = std::wstring(L"SOFTWARE\\") + kProductName;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) !=
        ERROR_SUCCESS)
        return L"";
    wchar_t value[1024] = {};
    DWORD type = 0;
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), kUpdateServerMachineValue, nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return L"";
    return std::wstring(value, wcsnlen(value, size / sizeof(wchar_t)));
}

}  // namespace

std::wstring ChooseUpdateServer(bool developerBuild, const std::wstring& environment, const std::wstring& machine)
{
    if (developerBuild && !environment.empty())
        return WithoutTrailingSlashes(environment);
    if (IsHttpsAddress(machine))
        return WithoutTrailingSlashes(machine);
    return kDefaultUpdateServer;
}

std::wstring UpdateServerBaseUrl()
{
    const bool developer = DeveloperOverridesAllowed();
    return ChooseUpdateServer(developer, developer ? EnvironmentAddress() : std::wstring(), MachineAddress());
}

std::wstring SoftwareUpdateUrl()
{
    return UpdateServerBaseUrl() + L"/t51c/software/";
}
