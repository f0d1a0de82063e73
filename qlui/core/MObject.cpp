#include "MObject.h"

#include <cwchar>

MObject::~MObject() = default;

BOOL MObject::IsClass(const wchar_t* name)
{
    const wchar_t* own = GetClassNameW();
    if (own == nullptr || name == nullptr)
        return FALSE;
    return std::wcscmp(own, name) == 0 ? TRUE : FALSE;
}

const wchar_t* MObject::GetClassNameW() { return nullptr; }
const wchar_t* MObject::GetObjectClass() { return nullptr; }
const wchar_t* MObject::BaseObjectClassName() { return nullptr; }
LRESULT MObject::OnBaseMessage(UINT, UINT, UINT, LPARAM) { return 0; }
LRESULT MObject::OnControlUpdate(CRect, BOOL, MControl*) { return 0; }
