#pragma once
#include <string>

// The skin folder: the program folder + "skins\\" + the theme folder
// ("theme1\\"), ending in a backslash.
std::wstring GetSkinsPath();
