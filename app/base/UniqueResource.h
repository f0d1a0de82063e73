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
struct View {
    using Type = const void*;
    static Type Empty() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { UnmapViewOfFile(h); }
};
struct Module : NullEmpty<HMODULE, nullptr> {
    static void Close(Type h) { FreeLibrary(h); }
};
struct RegKey : NullEmpty<HKEY, nullptr> {
    static void Close(Type h) { RegCloseKey(h); }
};
struct Menu : NullEmpty<HMENU, nullptr> {
    static void Close(Type h) { DestroyMenu(h); }
};
struct Icon : NullEmpty<HICON, nullptr> {
    static void Close(Type h) { DestroyIcon(h); }
};
struct GdiObject : NullEmpty<HGDIOBJ, nullptr> {
    static void Close(Type h) { DeleteObject(h); }
};
struct MemoryDc : NullEmpty<HDC, nullptr> {
    static void Close(Type h) { DeleteDC(h); }
};
struct Bstr : NullEmpty<BSTR, nullptr> {
    static void Close(Type h) { SysFreeString(h); }
};
struct Internet : NullEmpty<HINTERNET, nullptr> {
    static void Close(Type h) { InternetCloseHandle(h); }
};
struct BcryptAlgorithm : NullEmpty<BCRYPT_ALG_HANDLE, nullptr> {
    static void Close(Type h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct BcryptKey : NullEmpty<BCRYPT_KEY_HANDLE, nullptr> {
    static void Close(Type h) { BCryptDestroyKey(h); }
};
struct BcryptHash : NullEmpty<BCRYPT_HASH_HANDLE, nullptr> {
    static void Close(Type h) { BCryptDestroyHash(h); }
};
// A pointer-like handle released by one plain function, for libraries whose
// headers this layer does not see (minizip's unzFile with unzClose).
template <typename T, auto CloseFunction>
struct ClosedBy : NullEmpty<T, nullptr> {
    static void Close(T h) { CloseFunction(h); }
};

}  // namespace win32_traits

using UniqueHandle = UniqueResource<win32_traits::Kernel>;
using UniqueFind = UniqueResource<win32_traits::Find>;
using UniqueView = UniqueResource<win32_traits::View>;
using UniqueModule = UniqueResource<win32_traits::Module>;
using UniqueRegKey = UniqueResource<win32_traits::RegKey>;
using UniqueMenu = UniqueResource<win32_traits::Menu>;
using UniqueIcon = UniqueResource<win32_traits::Icon>;
using UniqueGdiObject = UniqueResource<win32_traits::GdiObject>;
using UniqueMemoryDc = UniqueResource<win32_traits::MemoryDc>;
using UniqueBstr = UniqueResource<win32_traits::Bstr>;
using UniqueInternet = UniqueResource<win32_traits::Internet>;
using UniqueBcryptAlgorithm = UniqueResource<win32_traits::BcryptAlgorithm>;
using UniqueBcryptKey = UniqueResource<win32_traits::BcryptKey>;
using UniqueBcryptHash = UniqueResource<win32_traits::BcryptHash>;

// A BSTR made from text, owned.
inline UniqueBstr MakeBstr(const wchar_t* text)
{
    return UniqueBstr(SysAllocString(text));
}
