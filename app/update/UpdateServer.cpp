#include "UpdateServer.h"

#include <windows.h>

std::wstring UpdateServerBaseUrl()
{
    wchar_t value[1024];
    const DWORD n = GetEnvironmentVariableW(kUpdateServerVariable, value, ARRAYSIZE(value));
    std::wstring base = (n > 0 && n < ARRAYSIZE(value)) ? std::wstring(value, n) : std::wstring(kDefaultUpdateServer);
    while (!base.empty() && base.back() == L'/')
        base.pop_back();
    return base;
}

std::wstring SoftwareUpdateUrl()
{
    return UpdateServerBaseUrl() + L"/t51c/software/";
}
