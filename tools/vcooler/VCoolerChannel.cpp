#include "VCoolerChannel.h"

#include <cstring>
#include <memory>
#include <mutex>

namespace vcooler {

namespace {

std::mutex g_currentLock;
std::unique_ptr<VCoolerChannel> g_current;

std::wstring DefaultName()
{
    wchar_t value[128];
    const DWORD n = GetEnvironmentVariableW(L"VCOOLER_CHANNEL", value, 128);
    if (n > 0 && n < 128)
        return value;
    return L"default";
}

}  // namespace

VCoolerChannel& VCoolerChannel::Current()
{
    std::lock_guard<std::mutex> lock(g_currentLock);
    if (!g_current)
        g_current = std::make_unique<VCoolerChannel>(DefaultName());
    return *g_current;
}

void VCoolerChannel::Select(const std::wstring& name)
{
    std::lock_guard<std::mutex> lock(g_currentLock);
    if (g_current && g_current->Name() == name)
        return;
    g_current = std::make_unique<VCoolerChannel>(name);
}

VCoolerChannel::VCoolerChannel(std::wstring name) : name_(std::move(name))
{
    const std::wstring base = L"vcooler-" + name_;
    mutex_.reset(CreateMutexW(nullptr, FALSE, (base + L"-lock").c_str()));
    if (!mutex_)
        return;
    // Created and initialised under the mutex, so two first openers cannot race.
    WaitForSingleObject(mutex_.get(), INFINITE);
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(State), (base + L"-state").c_str()));
    if (mapping_) {
        state_ = static_cast<State*>(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(State)));
        if (state_ != nullptr && (state_->magic != kMagic || state_->layoutVersion != kLayoutVersion)) {
            memset(state_, 0, sizeof(State));
            state_->magic = kMagic;
            state_->layoutVersion = kLayoutVersion;
            state_->nextSerial = 1;
        }
    }
    ReleaseMutex(mutex_.get());
}

VCoolerChannel::~VCoolerChannel()
{
    if (state_ != nullptr)
        UnmapViewOfFile(state_);
}

VCoolerChannel::Locked::Locked(VCoolerChannel& channel) : mutex_(channel.mutex_.get()), state_(channel.state_)
{
    // An abandoned mutex (a process died holding it) still hands over the lock.
    WaitForSingleObject(mutex_, INFINITE);
}

VCoolerChannel::Locked::~Locked()
{
    ReleaseMutex(mutex_);
}

int64_t NowUs()
{
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart / frequency * 1000000 + now.QuadPart % frequency * 1000000 / frequency;
}

}  // namespace vcooler
