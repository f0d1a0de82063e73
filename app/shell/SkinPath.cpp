#include "SkinPath.h"

#include "Manager.h"
#include "Paths.h"

std::wstring GetSkinsPath()
{
    return GetModulePath() + L"skins\\" + Manager::GetTheme().GetString();
}
