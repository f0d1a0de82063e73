#include "D3dkmtSource.h"

#include "ComPtr.h"
#include "ProcAddress.h"

#include <dxgi.h>

#include <memory>
#include <vector>

namespace {
using EnumAdapters2Fn = LONG(APIENTRY*)(KmtEnumAdapters2*);
using QueryAdapterInfoFn = LONG(APIENTRY*)(const KmtQueryAdapterInfo*);
using CloseAdapterFn = LONG(APIENTRY*)(const KmtCloseAdapter*);
using CreateFactoryFn = HRESULT(WINAPI*)(REFIID, void**);



std::string Narrow(const wchar_t* w)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string s(n - 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}
}  // namespace

bool D3dkmtSource::TemperatureOf(const KmtAdapterPerfData& perf, double& celsius)
{
    if (perf.temperature == 0 || perf.temperature > 2000)
        return false;
    celsius = perf.temperature / 10.0;
    return true;
}

bool D3dkmtSource::IsIntegrated(uint64_t dedicatedVideoMemory)
{
    return dedicatedVideoMemory < 1024ull * 1024 * 1024;
}

bool D3dkmtSource::AdapterName(const LUID& luid, std::string& name, bool& integrated)
{
    if (!dxgi_)
        dxgi_.reset(LoadLibraryExW(L"dxgi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    const auto create = ProcAddress<CreateFactoryFn>(dxgi_.get(), "CreateDXGIFactory1");
    if (create == nullptr)
        return false;
    ComPtr<IDXGIFactory1> factory;
    if (FAILED(create(__uuidof(IDXGIFactory1), reinterpret_cast<void**>(factory.put()))))
        return false;
    for (UINT i = 0;; ++i) {
        ComPtr<IDXGIAdapter1> adapter;
        if (factory->EnumAdapters1(i, adapter.put()) != S_OK)
            return false;
        DXGI_ADAPTER_DESC1 desc{};
        if (FAILED(adapter->GetDesc1(&desc)))
            continue;
        if (desc.AdapterLuid.LowPart == luid.LowPart && desc.AdapterLuid.HighPart == luid.HighPart) {
            if (desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE)
                return false;
            name = Narrow(desc.Description);
            integrated = IsIntegrated(desc.DedicatedVideoMemory);
            return !name.empty();
        }
    }
}

int D3dkmtSource::Collect(SensorDeviceSet& out, std::string& status)
{
    const HMODULE gdi = GetModuleHandleW(L"gdi32.dll");
    const auto enumAdapters = ProcAddress<EnumAdapters2Fn>(gdi, "D3DKMTEnumAdapters2");
    const auto query = ProcAddress<QueryAdapterInfoFn>(gdi, "D3DKMTQueryAdapterInfo");
    const auto closeAdapter = ProcAddress<CloseAdapterFn>(gdi, "D3DKMTCloseAdapter");
    if (enumAdapters == nullptr || query == nullptr || closeAdapter == nullptr) {
        status = "D3DKMT: not available";
        return 0;
    }
    KmtEnumAdapters2 list{};
    if (enumAdapters(&list) != 0 || list.count == 0) {
        status = "D3DKMT: no adapters";
        return 0;
    }
    std::vector<KmtAdapterInfo> adapters(list.count);
    list.adapters = adapters.data();
    if (enumAdapters(&list) != 0) {
        status = "D3DKMT: no adapters";
        return 0;
    }
    adapters.resize(list.count);

    out.BeginSource("D3DKMT");
    int added = 0;
    int withTemperature = 0;
    int integratedCount = 0;
    for (const auto& a : adapters) {
        KmtAdapterPerfData perf{};
        const KmtQueryAdapterInfo q{a.adapter, kKmtAdapterPerfData, &perf, sizeof perf};
        double celsius = 0.0;
        const bool ok = query(&q) == 0 && TemperatureOf(perf, celsius);
        const KmtCloseAdapter c{a.adapter};
        closeAdapter(&c);
        if (!ok)
            continue;
        std::string name;
        bool integrated = false;
        if (!AdapterName(a.luid, name, integrated))
            continue;
        ++withTemperature;
        integratedCount += integrated;
        added += out.Add(out.OpenDevice(name), kKindTemperature, kClassGpu, "GPU Temperature", celsius);
    }
    status = "D3DKMT: found, " + std::to_string(adapters.size()) + " adapters, " + std::to_string(withTemperature) +
             " with temperature (" + std::to_string(integratedCount) + " integrated)";
    return added;
}
