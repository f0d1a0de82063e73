#include "WmiConnector.h"

#include "UniqueResource.h"

namespace {

class SystemWmiConnector : public WmiConnector {
public:
    HRESULT Connect(const wchar_t* nameSpace, ComPtr<IWbemServices>& out) override
    {
        // Once per thread, never undone: the connections made here outlive any
        // one call, and a thread that already chose an apartment keeps it.
        thread_local const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (FAILED(com) && com != RPC_E_CHANGED_MODE)
            return com;
        if (!locator_) {
            const HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                                reinterpret_cast<void**>(locator_.put()));
            if (FAILED(hr))
                return hr;
        }
        const UniqueBstr path = MakeBstr(nameSpace);
        ComPtr<IWbemServices> services;
        HRESULT hr = locator_->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put());
        if (FAILED(hr))
            return hr;
        // The process may never have set COM security; impersonation is what
        // the WMI providers ask of a caller.
        hr = CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
        if (FAILED(hr) && hr != E_NOINTERFACE)
            return hr;
        out = std::move(services);
        return S_OK;
    }

private:
    ComPtr<IWbemLocator> locator_;
};

}  // namespace

std::unique_ptr<WmiConnector> MakeSystemWmiConnector()
{
    return std::make_unique<SystemWmiConnector>();
}
