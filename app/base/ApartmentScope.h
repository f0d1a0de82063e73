#pragma once
#include <windows.h>
#include <objbase.h>
#include <ole2.h>

// COM or OLE initialised on this thread for the life of the scope; only a
// successful initialisation is paired with its uninitialisation.
template <HRESULT(WINAPI* Initialise)(LPVOID), void(WINAPI* Uninitialise)()>
class ApartmentScope {
public:
    ApartmentScope() : result_(Initialise(nullptr)) {}
    ~ApartmentScope()
    {
        if (SUCCEEDED(result_))
            Uninitialise();
    }
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;

    // What the initialisation returned (S_FALSE: already initialised, still paired).
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

using ComScope = ApartmentScope<CoInitialize, CoUninitialize>;
using OleScope = ApartmentScope<OleInitialize, OleUninitialize>;
