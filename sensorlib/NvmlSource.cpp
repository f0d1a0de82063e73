#include "NvmlSource.h"

#include <windows.h>

#include "ProcAddress.h"

namespace {
using nvmlDevice_t = struct nvmlDevice_st*;
struct nvmlUtilization_t {
    unsigned gpu;
    unsigned memory;
};
constexpr int kNvmlSuccess = 0;
constexpr int kNvmlTemperatureGpu = 0;

template <typename Fn>
bool Resolve(HMODULE m, const char* name, Fn& fn)
{
    fn = ProcAddress<Fn>(m, name);
    return fn != nullptr;
}
}  // namespace

struct NvmlSource::Api {
    int (*init)() = nullptr;
    int (*shutdown)() = nullptr;
    int (*count)(unsigned*) = nullptr;
    int (*handle)(unsigned, nvmlDevice_t*) = nullptr;
    int (*name)(nvmlDevice_t, char*, unsigned) = nullptr;
    int (*temperature)(nvmlDevice_t, int, unsigned*) = nullptr;
    int (*utilization)(nvmlDevice_t, nvmlUtilization_t*) = nullptr;
};

NvmlSource::~NvmlSource()
{
    if (api_ != nullptr)
        api_->shutdown();
    delete api_;
}

bool NvmlSource::Start(std::string& status)
{
    tried_ = true;
    // System32 only: never pick up an nvml.dll planted next to the program.
    module_.reset(LoadLibraryExW(L"nvml.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!module_) {
        startStatus_ = "NVML: not installed";
        status = startStatus_;
        return false;
    }
    Api api;
    const HMODULE m = module_.get();
    if (!Resolve(m, "nvmlInit_v2", api.init) || !Resolve(m, "nvmlShutdown", api.shutdown) ||
        !Resolve(m, "nvmlDeviceGetCount_v2", api.count) || !Resolve(m, "nvmlDeviceGetHandleByIndex_v2", api.handle) ||
        !Resolve(m, "nvmlDeviceGetName", api.name) || !Resolve(m, "nvmlDeviceGetTemperature", api.temperature) ||
        !Resolve(m, "nvmlDeviceGetUtilizationRates", api.utilization)) {
        startStatus_ = "NVML: refused, entry points missing";
        status = startStatus_;
        module_.reset();
        return false;
    }
    const int rc = api.init();
    if (rc != kNvmlSuccess) {
        startStatus_ = "NVML: refused, init failed (" + std::to_string(rc) + ")";
        status = startStatus_;
        module_.reset();
        return false;
    }
    api_ = new Api(api);
    return true;
}

int NvmlSource::Collect(SensorDeviceSet& out, std::string& status)
{
    if (api_ == nullptr) {
        if (tried_) {
            status = startStatus_;
            return 0;
        }
        if (!Start(status))
            return 0;
    }
    out.BeginSource("NVML");
    unsigned count = 0;
    if (api_->count(&count) != kNvmlSuccess)
        count = 0;
    int added = 0;
    for (unsigned i = 0; i < count && i < 64; ++i) {
        nvmlDevice_t dev = nullptr;
        char name[96] = {};
        if (api_->handle(i, &dev) != kNvmlSuccess || api_->name(dev, name, sizeof name - 1) != kNvmlSuccess)
            continue;
        const int device = out.OpenDevice(name);
        unsigned t = 0;
        if (api_->temperature(dev, kNvmlTemperatureGpu, &t) == kNvmlSuccess)
            added += out.Add(device, kKindTemperature, kClassGpu, "GPU Temperature", t);
        nvmlUtilization_t u{};
        if (api_->utilization(dev, &u) == kNvmlSuccess)
            added += out.Add(device, kKindLoad, kClassGpu, "GPU Utilization", u.gpu);
    }
    status = "NVML: found, " + std::to_string(count) + " GPUs";
    return added;
}
