#pragma once
#include <windows.h>

#include <utility>

// Move-only owners of the library's handles.
template <typename Traits>
class UniqueWin32 {
public:
    using Type = typename Traits::Type;
    UniqueWin32() = default;
    explicit UniqueWin32(Type h) : h_(h) {}
    ~UniqueWin32() { reset(); }
    UniqueWin32(UniqueWin32&& o) noexcept : h_(std::exchange(o.h_, Traits::Empty())) {}
    UniqueWin32& operator=(UniqueWin32&& o) noexcept
    {
        if (this != &o)
            reset(std::exchange(o.h_, Traits::Empty()));
        return *this;
    }
    UniqueWin32(const UniqueWin32&) = delete;
    UniqueWin32& operator=(const UniqueWin32&) = delete;

    Type get() const { return h_; }
    explicit operator bool() const { return Traits::Valid(h_); }
    void reset(Type h = Traits::Empty())
    {
        if (Traits::Valid(h_))
            Traits::Close(h_);
        h_ = h;
    }

private:
    Type h_ = Traits::Empty();
};

struct FileTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct FindTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
struct ViewTraits {
    using Type = const void*;
    static Type Empty() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { UnmapViewOfFile(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};
struct KeyTraits {
    using Type = HKEY;
    static Type Empty() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};

using UniqueFile = UniqueWin32<FileTraits>;     // also mappings and other kernel handles
using UniqueFind = UniqueWin32<FindTraits>;
using UniqueView = UniqueWin32<ViewTraits>;
using UniqueModule = UniqueWin32<ModuleTraits>;
using UniqueKey = UniqueWin32<KeyTraits>;
