#pragma once
#include <windows.h>
#include <bcrypt.h>
#include <oleauto.h>
#include <wininet.h>

#include <utility>

// The program's one idiom for owning a Win32 resource: a move-only owner whose
// Traits name the handle type, its empty value, what counts as valid and how it
// is released. Every kernel handle, key, module, menu, icon, GDI object, BSTR,
// WinINet and BCrypt handle and minizip archive of the program and the sensor
// library is held in one of these.
template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type h) : h_(h) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& o) noexcept : h_(std::exchange(o.h_, Traits::Empty())) {}
    UniqueResource& operator=(UniqueResource&& o) noexcept
    {
        if (this != &o)
            reset(std::exchange(o.h_, Traits::Empty()));
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Type get() const { return h_; }
    explicit operator bool() const { return Traits::Valid(h_); }
    // Gives up ownership without releasing (resources kept for the life of the process).
    Type release() { return std::exchange(h_, Traits::Empty()); }
    void reset(Type h = Traits::Empty())
    {
        if (Traits::Valid(h_))
            Traits::Close(h_);
        h_ = h;
    }
    // For out-parameters: releases the current resource and hands out the slot.
    Type* put()
    {
        reset();
        return &h_;
    }

private:
    Type h_ = Traits::Empty();
};

namespace win32_traits {

template <typename T, T EmptyValue>
struct NullEmpty {
    using Type = T;
    static Type Empty() { return EmptyValue; }
    static bool Valid(Type h) { return h != EmptyValue; }
};

// A pointer-like handle, null when empty, released by one plain function.
template <typename T, auto CloseFunction>
struct ClosedBy : NullEmpty<T, nullptr> {
    static void Close(T h) { CloseFunction(h); }
};

// Kernel objects: both null and INVALID_HANDLE_VALUE count as empty, whichever
// the creating call returns on failure.
struct Kernel {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct Find : Kernel {
    static void Close(Type h) { FindClose(h); }
};
struct BcryptAlgorithm : NullEmpty<BCRYPT_ALG_HANDLE, nullptr> {
    static void Close(Type h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct PrivateNamespace : NullEmpty<HANDLE, nullptr> {
    static void Close(Type h) { ClosePrivateNamespace(h, 0); }
};

}  // namespace win32_traits

using UniqueHandle = UniqueResource<win32_traits::Kernel>;
using UniqueFind = UniqueResource<win32_traits::Find>;
using UniqueView = UniqueResource<win32_traits::ClosedBy<const void*, UnmapViewOfFile>>;
using UniqueModule = UniqueResource<win32_traits::ClosedBy<HMODULE, FreeLibrary>>;
using UniqueRegKey = UniqueResource<win32_traits::ClosedBy<HKEY, RegCloseKey>>;
using UniqueMenu = UniqueResource<win32_traits::ClosedBy<HMENU, DestroyMenu>>;
using UniqueWindow = UniqueResource<win32_traits::ClosedBy<HWND, DestroyWindow>>;
using UniqueIcon = UniqueResource<win32_traits::ClosedBy<HICON, DestroyIcon>>;
using UniqueGdiObject = UniqueResource<win32_traits::ClosedBy<HGDIOBJ, DeleteObject>>;
using UniqueMemoryDc = UniqueResource<win32_traits::ClosedBy<HDC, DeleteDC>>;
using UniqueBstr = UniqueResource<win32_traits::ClosedBy<BSTR, SysFreeString>>;
using UniqueInternet = UniqueResource<win32_traits::ClosedBy<HINTERNET, InternetCloseHandle>>;
using UniqueBcryptAlgorithm = UniqueResource<win32_traits::BcryptAlgorithm>;
using UniqueBcryptKey = UniqueResource<win32_traits::ClosedBy<BCRYPT_KEY_HANDLE, BCryptDestroyKey>>;
using UniqueBcryptHash = UniqueResource<win32_traits::ClosedBy<BCRYPT_HASH_HANDLE, BCryptDestroyHash>>;
using UniqueLocalMemory = UniqueResource<win32_traits::ClosedBy<HLOCAL, LocalFree>>;
using UniqueGlobalMemory = UniqueResource<win32_traits::ClosedBy<HGLOBAL, GlobalFree>>;
using UniqueBoundaryDescriptor = UniqueResource<win32_traits::ClosedBy<HANDLE, DeleteBoundaryDescriptor>>;
using UniquePrivateNamespace = UniqueResource<win32_traits::PrivateNamespace>;

// Closes a handle that an exported class keeps in a plain member (its layout is
// fixed) through the owner for that handle, and empties the member.
template <typename Owner, typename Handle>
void CloseMember(Handle& member)
{
    Owner closing(std::exchange(member, Handle{}));
}

// A BSTR made from text, owned.
inline UniqueBstr MakeBstr(const wchar_t* text)
{
    return UniqueBstr(SysAllocString(text));
}
