#pragma once
#include <windows.h>
#include <wbemidl.h>

#include <memory>

#include "ComPtr.h"

// Where the WMI sources get a namespace from: the system's WMI in the library,
// a stand-in IWbemServices in the tests.
class WmiConnector {
public:
    virtual ~WmiConnector() = default;
    // Connects to a namespace such as L"root\\WMI". The caller's thread (the sampler).
    virtual HRESULT Connect(const wchar_t* nameSpace, ComPtr<IWbemServices>& out) = 0;
};

// The local machine's WMI, with COM started on the calling thread (and kept:
// the cached connections live as long as the library).
std::unique_ptr<WmiConnector> MakeSystemWmiConnector();
