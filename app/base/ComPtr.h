#pragma once
#include <unknwn.h>

#include <utility>

// Move-only owner of one COM interface reference (Released on reset/destruction).
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* adopted) : p_(adopted) {}
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept
    {
        if (this != &o) {
            reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // For out-parameters: drops the current reference and hands out the slot.
    T** put()
    {
        reset();
        return &p_;
    }

    void reset()
    {
        if (p_)
            std::exchange(p_, nullptr)->Release();
    }

    // QueryInterface into another owner; the result of the query is returned.
    template <class U>
    HRESULT As(ComPtr<U>& out) const
    {
        if (!p_)
            return E_POINTER;
        return p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out.put()));
    }

private:
    T* p_ = nullptr;
};
