#include "WmiNamespace.h"

#include <oleauto.h>

#include <cstdio>

#include "UniqueResource.h"

namespace {

// A VARIANT cleared when it goes.
struct OwnedVariant {
    VARIANT v;
    OwnedVariant() { VariantInit(&v); }
    ~OwnedVariant() { VariantClear(&v); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
};

std::string Utf8(const wchar_t* text, UINT length)
{
    if (text == nullptr || length == 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}

WmiValue ValueOf(IWbemClassObject* object, const wchar_t* name)
{
    WmiValue out;
    OwnedVariant var;
    if (FAILED(object->Get(name, 0, &var.v, nullptr, nullptr)))
        return out;
    if (var.v.vt == VT_BSTR) {
        out.present = true;
        out.isText = true;
        out.text = Utf8(var.v.bstrVal, SysStringLen(var.v.bstrVal));
        return out;
    }
    if (var.v.vt == VT_NULL || var.v.vt == VT_EMPTY)
        return out;
    OwnedVariant number;
    if (SUCCEEDED(VariantChangeType(&number.v, &var.v, 0, VT_R8))) {
        out.present = true;
        out.number = number.v.dblVal;
    }
    return out;
}

// WMI's status codes are an unsigned enumeration; HRESULTs are signed.
constexpr HRESULT Wbem(WBEMSTATUS status)
{
    return static_cast<HRESULT>(status);
}

bool ConnectionLost(HRESULT hr)
{
    return hr == RPC_E_DISCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED) || hr == Wbem(WBEM_E_TRANSPORT_FAILURE) ||
           hr == Wbem(WBEM_E_SHUTTING_DOWN) || hr == RPC_E_SERVERFAULT;
}

}  // namespace

std::string WmiNamespace::Explain(HRESULT hr)
{
    // A namespace left behind by a program that ended has no provider any more.
    if (hr == Wbem(WBEM_E_INVALID_NAMESPACE) || hr == Wbem(WBEM_E_INVALID_CLASS) || hr == Wbem(WBEM_E_NOT_FOUND) ||
        hr == Wbem(WBEM_E_PROVIDER_NOT_FOUND) || hr == Wbem(WBEM_E_PROVIDER_LOAD_FAILURE))
        return "not running";
    if (hr == Wbem(WBEM_E_ACCESS_DENIED) || hr == E_ACCESSDENIED)
        return "refused, access denied";
    if (hr == Wbem(WBEM_E_NOT_SUPPORTED) || hr == E_NOTIMPL)
        return "refused, not supported by this system's WMI";
    if (hr == REGDB_E_CLASSNOTREG)
        return "refused, WMI is not installed";
    char text[64];
    std::snprintf(text, sizeof text, "refused, WMI error 0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

bool WmiNamespace::Select(const wchar_t* wql, const std::vector<const wchar_t*>& properties, std::vector<WmiRow>& rows,
                          std::string& why, ULONGLONG now, bool optional)
{
    rows.clear();
    if (!services_) {
        if (attempted_ && now - lastAttempt_ < kRetryMs) {
            why = connectWhy_;
            return false;
        }
        attempted_ = true;
        lastAttempt_ = now;
        const HRESULT hr = connector_.Connect(name_.c_str(), services_);
        if (FAILED(hr) || !services_) {
            services_.reset();
            connectWhy_ = Explain(FAILED(hr) ? hr : E_POINTER);
            why = connectWhy_;
            return false;
        }
    }

    if (queryFailed_ && now - queryFailedAt_ < kRetryMs) {
        why = queryWhy_;
        return false;
    }
    queryFailed_ = false;
    const bool answered = Query(wql, properties, rows, why);
    if (!answered && services_ && !optional) {
        queryFailed_ = true;
        queryFailedAt_ = now;
        queryWhy_ = why;
    }
    return answered;
}

bool WmiNamespace::Query(const wchar_t* wql, const std::vector<const wchar_t*>& properties, std::vector<WmiRow>& rows,
                         std::string& why)
{
    const UniqueBstr language = MakeBstr(L"WQL");
    const UniqueBstr query = MakeBstr(wql);
    ComPtr<IEnumWbemClassObject> objects;
    HRESULT hr = services_->ExecQuery(language.get(), query.get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                      nullptr, objects.put());
    if (FAILED(hr) || !objects) {
        if (ConnectionLost(hr))
            services_.reset();
        why = Explain(FAILED(hr) ? hr : E_POINTER);
        return false;
    }
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const ULONGLONG spent = GetTickCount64() - start;
        if (spent >= static_cast<ULONGLONG>(kQueryTimeoutMs)) {
            why = "refused, the query took longer than a second";
            return false;
        }
        IWbemClassObject* batch[16] = {};
        ULONG returned = 0;
        hr = objects->Next(static_cast<long>(kQueryTimeoutMs - spent), 16, batch, &returned);
        for (ULONG i = 0; i < returned; ++i) {
            ComPtr<IWbemClassObject> object;
            *object.put() = batch[i];
            WmiRow row;
            for (const wchar_t* p : properties)
                row.push_back(ValueOf(object.get(), p));
            rows.push_back(std::move(row));
        }
        if (hr == Wbem(WBEM_S_FALSE))
            return true;  // the end of the results
        if (hr == Wbem(WBEM_S_TIMEDOUT))
            continue;
        if (FAILED(hr)) {
            if (ConnectionLost(hr))
                services_.reset();
            why = Explain(hr);
            return false;
        }
    }
}
