#pragma once
#include <windows.h>

#include "CRect.h"

class MControl;
class MObject;

// The class-name factory: the names are compared exactly, in a fixed order;
// a name outside the list, or one whose class is not built, gives null.
MControl* CreateControlByName(const wchar_t* className, MObject* parent, UINT id, CRect rect, const wchar_t* text,
                              int visible, int enabled);
