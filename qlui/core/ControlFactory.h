#pragma once
#include <windows.h>

#include "CRect.h"

class MControl;
class MObject;

// Builds one control class from the dialog's arguments (already narrowed to
// what the class's constructor takes: unused text is null, forced flags set).
typedef MControl* (*ControlBuilder)(MObject* parent, UINT id, CRect rect, const wchar_t* text, int visible,
                                    int enabled);

// The class-name factory: the names are compared exactly, in a fixed order;
// a name outside the list, or one whose class is not built, gives null.
MControl* CreateControlByName(const wchar_t* className, MObject* parent, UINT id, CRect rect, const wchar_t* text,
                              int visible, int enabled);

// Gives a listed name its builder (the control classes register themselves).
// FALSE for a name outside the list.
BOOL RegisterControlBuilder(const wchar_t* className, ControlBuilder builder);
