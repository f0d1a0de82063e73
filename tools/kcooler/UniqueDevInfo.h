#pragma once
#include <windows.h>
#include <setupapi.h>

#include "UniqueResource.h"

// A SetupAPI device information set, owned. Kept beside the test tools that use
// it so the program's own header stays free of SetupAPI.
namespace win32_traits {
struct DevInfo {
    using Type = HDEVINFO;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { SetupDiDestroyDeviceInfoList(h); }
};
}  // namespace win32_traits

using UniqueDevInfo = UniqueResource<win32_traits::DevInfo>;
