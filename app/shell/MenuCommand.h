#pragma once
#include <windows.h>

// WM_COMMAND ids of the main window: the tray menu's "Exit" and the two update
// checks that other processes (and the tests) may send.
enum MenuCommand : UINT {
    kMenuExit = 100,
    kMenuFirmwareCheck = 101,
    kMenuSoftwareCheck = 102,
};
