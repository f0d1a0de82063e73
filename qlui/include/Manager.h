#pragma once
#include <windows.h>

#include "QLUIExport.h"

// The library's process-wide state.
class QLUI_API Manager {
public:
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetInstance();

private:
    static HINSTANCE m_instance;
};
