#pragma once
#include <windows.h>

// An export of a loaded module as a typed function pointer; null when the
// module is null or lacks the export. `name` may be MAKEINTRESOURCEA(ordinal).
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name)
{
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
