#pragma once
#include <string>

// The update server's base address (no trailing slash). Tests and demos point
// the program elsewhere with the environment variable GLIMRA_UPDATE_SERVER.
inline constexpr wchar_t kDefaultUpdateServer[] = L"https://update.vantrel-glimra.com";
inline constexpr wchar_t kUpdateServerVariable[] = L"GLIMRA_UPDATE_SERVER";

std::wstring UpdateServerBaseUrl();
// The software update folder: base address + "/t51c/software/".
std::wstring SoftwareUpdateUrl();
