#pragma once
#include <windows.h>

// The codes a control sends its parent through MObject::OnBaseMessage(id, code,
// wParam, lParam), and that a dialog passes on to OnMessage.
enum ControlNotify : UINT {
    kNotifyPress = 1,        // a button was pressed
    kNotifyClick = 2,        // a button was released over itself after a press
    kNotifyDoubleClick = 3,  // a double click; lParam points to the CPoint
    kNotifyKey = 14,         // a key; wParam the key, lParam the flags
};
