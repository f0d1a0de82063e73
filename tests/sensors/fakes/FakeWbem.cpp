#include "FakeWbem.h"

#include <cwctype>

namespace {

// IUnknown for one interface, reference-counted.
template <class Interface>
class Unknown : public Interface {
public:
    virtual ~Unknown() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (riid == __uuidof(IUnknown) || riid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return n;
    }

private:
    LONG refs_ = 1;
};

constexpr HRESULT kNo = WBEM_E_NOT_SUPPORTED;

class Object : public Unknown<IWbemClassObject> {
public:
    explicit Object(FakeObject properties) : properties_(std::move(properties)) {}
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE* type, LONG*) override
    {
        for (const FakeProperty& p : properties_) {
            if (_wcsicmp(p.name.c_str(), name) != 0)
                continue;
            if (value != nullptr) {
                VariantInit(value);
                value->vt = p.type;
                if (p.type == VT_BSTR)
                    value->bstrVal = SysAllocString(p.text.c_str());
                else if (p.type == VT_R4)
                    value->fltVal = static_cast<float>(p.number);
                else if (p.type == VT_I4)
                    value->lVal = static_cast<LONG>(static_cast<unsigned>(p.number));
            }
            if (type != nullptr)
                *type = p.type == VT_BSTR ? CIM_STRING : p.type == VT_R4 ? CIM_REAL32 : CIM_UINT32;
            return WBEM_S_NO_ERROR;
        }
        return WBEM_E_NOT_FOUND;
    }
    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR, LONG, VARIANT*, CIMTYPE) override { return kNo; }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR) override { return kNo; }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR, LONG, VARIANT*, SAFEARRAY**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG) override { return kNo; }
    HRESULT STDMETHODCALLTYPE Next(LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return kNo; }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG, BSTR*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG, IWbemClassObject**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG, IWbemClassObject*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR, BSTR*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR) override { return kNo; }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR) override { return kNo; }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG) override { return kNo; }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG, BSTR*, IWbemClassObject**, IWbemClassObject**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override { return kNo; }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR, IWbemQualifierSet**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR, BSTR*) override { return kNo; }

private:
    FakeObject properties_;
};

// A forward-only enumerator over a query's result.
class Enumerator : public Unknown<IEnumWbemClassObject> {
public:
    explicit Enumerator(std::vector<FakeObject> objects) : objects_(std::move(objects)) {}
    HRESULT STDMETHODCALLTYPE Next(LONG, ULONG count, IWbemClassObject** out, ULONG* returned) override
    {
        ULONG n = 0;
        while (n < count && next_ < objects_.size())
            out[n++] = new Object(objects_[next_++]);
        *returned = n;
        return n == count ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override { return WBEM_E_INVALID_OPERATION; }  // forward-only
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE Skip(LONG, ULONG) override { return kNo; }

private:
    std::vector<FakeObject> objects_;
    size_t next_ = 0;
};

std::wstring Trim(const std::wstring& s)
{
    const size_t a = s.find_first_not_of(L' ');
    if (a == std::wstring::npos)
        return {};
    return s.substr(a, s.find_last_not_of(L' ') - a + 1);
}

std::wstring Upper(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towupper(c));
    return s;
}

class Services : public Unknown<IWbemServices> {
public:
    explicit Services(std::shared_ptr<FakeNamespace> ns) : ns_(std::move(ns)) {}
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG, IWbemContext*, IEnumWbemClassObject** out) override
    {
        *out = nullptr;
        ++ns_->queries;
        if (FAILED(ns_->failQueries))
            return ns_->failQueries;
        if (language == nullptr || Upper(language) != L"WQL" || query == nullptr)
            return WBEM_E_INVALID_QUERY_TYPE;
        // SELECT a, b FROM Class
        const std::wstring q = query;
        const std::wstring u = Upper(q);
        const size_t from = u.find(L" FROM ");
        if (u.rfind(L"SELECT ", 0) != 0 || from == std::wstring::npos)
            return WBEM_E_INVALID_QUERY;
        const std::wstring cls = Trim(q.substr(from + 6));
        std::vector<std::wstring> selected;
        const std::wstring list = q.substr(7, from - 7);
        for (size_t a = 0; a <= list.size();) {
            const size_t comma = list.find(L',', a);
            selected.push_back(Trim(list.substr(a, comma == std::wstring::npos ? std::wstring::npos : comma - a)));
            if (comma == std::wstring::npos)
                break;
            a = comma + 1;
        }
        const auto found = ns_->classes.find(cls);
        if (found == ns_->classes.end())
            return WBEM_E_INVALID_CLASS;
        std::vector<FakeObject> result;
        for (const FakeObject& o : found->second) {
            FakeObject shown;
            for (const FakeProperty& p : o) {
                for (const std::wstring& s : selected) {
                    if (s == L"*" || _wcsicmp(s.c_str(), p.name.c_str()) == 0)
                        shown.push_back(p);
                }
            }
            result.push_back(std::move(shown));
        }
        *out = new Enumerator(std::move(result));
        return WBEM_S_NO_ERROR;
    }
    HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG, IWbemObjectSink**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE GetObject(const BSTR, LONG, IWbemContext*, IWbemClassObject**, IWbemCallResult**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*) override { return kNo; }
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*, IWbemClassObject**, IWbemCallResult**) override { return kNo; }
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*, IWbemObjectSink*) override { return kNo; }

private:
    std::shared_ptr<FakeNamespace> ns_;
};

}  // namespace

FakeProperty Text(const wchar_t* name, const wchar_t* value)
{
    return {name, VT_BSTR, value, 0.0};
}

FakeProperty Real32(const wchar_t* name, float value)
{
    return {name, VT_R4, {}, value};
}

FakeProperty Uint32(const wchar_t* name, unsigned value)
{
    return {name, VT_I4, {}, static_cast<double>(value)};
}

HRESULT FakeWmiConnector::Connect(const wchar_t* nameSpace, ComPtr<IWbemServices>& out)
{
    ++connects;
    for (const auto& [name, ns] : namespaces_) {
        if (_wcsicmp(name.c_str(), nameSpace) == 0) {
            *out.put() = new Services(ns);
            return S_OK;
        }
    }
    return WBEM_E_INVALID_NAMESPACE;
}
