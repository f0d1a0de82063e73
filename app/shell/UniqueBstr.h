#pragma once
#include <oleauto.h>
#include <windows.h>

#include <utility>

// Move-only owner of a BSTR (SysAllocString / SysFreeString).
class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(const wchar_t* text) : b_(SysAllocString(text)) {}
    ~UniqueBstr() { SysFreeString(b_); }
    UniqueBstr(UniqueBstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& o) noexcept
    {
        if (this != &o) {
            SysFreeString(b_);
            b_ = std::exchange(o.b_, nullptr);
        }
        return *this;
    }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;

    BSTR get() const { return b_; }
    // For out-parameters: frees the current string and hands out the slot.
    BSTR* put()
    {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }

private:
    BSTR b_ = nullptr;
};
