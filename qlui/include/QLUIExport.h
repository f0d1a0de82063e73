#pragma once

// QLUI_API marks the library's exported classes and functions: exported while
// building QLUI.dll, imported by the program.
#if defined(QLUI_BUILDING)
#define QLUI_API __declspec(dllexport)
#else
#define QLUI_API __declspec(dllimport)
#endif
