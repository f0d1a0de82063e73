#pragma once
#include <windows.h>

#include "CRect.h"
#include "QLUIExport.h"

class MControl;

// Root of every user-interface object of the library: only a virtual table.
// The slot order is part of the interface between QLUI.dll and its users.
class QLUI_API MObject {
public:
    virtual ~MObject();                                                     // slot 0
    virtual BOOL IsClass(const wchar_t* name);                              // slot 1
    virtual const wchar_t* GetClassNameW();                                 // slot 2
    virtual const wchar_t* GetObjectClass();                                // slot 3
    virtual const wchar_t* BaseObjectClassName();                           // slot 4
    // A control's notification to its parent (control id, code, wParam, lParam).
    virtual LRESULT OnBaseMessage(UINT id, UINT code, UINT wParam, LPARAM lParam); // slot 5
    // A control's request to repaint rect; flag non-zero rebuilds its cache.
    virtual LRESULT OnControlUpdate(CRect rect, BOOL flag, MControl* control);    // slot 6
};
