#pragma once
#include <string>

// Key "539" of section in the program folder's "language\2052.lan" (INI form);
// empty when the file, the section or the key is missing.
std::wstring GetLanguageString(const std::wstring& section);
