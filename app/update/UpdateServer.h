#pragma once
#include <string>

// The update server's base address (no trailing slash). The release program
// asks its built-in HTTPS address unless an administrator names a mirror under
// HKLM\SOFTWARE\Vantrel Glimra, value "UpdateServer" (HTTPS only). Test and
// demo builds also take the environment variable GLIMRA_UPDATE_SERVER.
inline constexpr wchar_t kDefaultUpdateServer[] = L"https://update.vantrel-glimra.com";
inline constexpr wchar_t kUpdateServerVariable[] = L"GLIMRA_UPDATE_SERVER";
inline constexpr wchar_t kUpdateServerMachineValue[] = L"UpdateServer";

// The choice itself: the environment's address in a developer build, else the
// machine's mirror when it is an https:// address, else the built-in one.
std::wstring ChooseUpdateServer(bool developerBuild, const std::wstring& environment, const std::wstring& machine);

std::wstring UpdateServerBaseUrl();
// The software update folder: base address + "/t51c/software/".
std::wstring SoftwareUpdateUrl();
