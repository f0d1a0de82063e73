#pragma once
#include <windows.h>
#include <wbemidl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "WmiConnector.h"

// A stand-in for the system's WMI at its COM boundary: namespaces answering
// WQL "SELECT <properties> FROM <class>" with recorded objects. Properties
// carry the types WMI gives them (strings as VT_BSTR, real32 as VT_R4, uint32
// as VT_I4); an object shows only the properties the query selected, and an
// unknown class fails as WMI does (WBEM_E_INVALID_CLASS).
struct FakeProperty {
    std::wstring name;
    VARTYPE type = VT_NULL;  // VT_BSTR, VT_R4, VT_I4 or VT_NULL
    std::wstring text;
    double number = 0.0;
};
using FakeObject = std::vector<FakeProperty>;

FakeProperty Text(const wchar_t* name, const wchar_t* value);
FakeProperty Real32(const wchar_t* name, float value);
FakeProperty Uint32(const wchar_t* name, unsigned value);

// One namespace: its classes' instances, as the test sets them between passes.
struct FakeNamespace {
    std::map<std::wstring, std::vector<FakeObject>> classes;
    HRESULT failQueries = S_OK;  // set to make ExecQuery fail
    int queries = 0;             // ExecQuery calls so far
};

// Hands out fake services for the namespaces it knows; the others fail as
// WMI fails for a namespace nobody registered (WBEM_E_INVALID_NAMESPACE).
class FakeWmiConnector : public WmiConnector {
public:
    explicit FakeWmiConnector(std::map<std::wstring, std::shared_ptr<FakeNamespace>> namespaces)
        : namespaces_(std::move(namespaces))
    {
    }
    HRESULT Connect(const wchar_t* nameSpace, ComPtr<IWbemServices>& out) override;
    int connects = 0;

private:
    std::map<std::wstring, std::shared_ptr<FakeNamespace>> namespaces_;
};
