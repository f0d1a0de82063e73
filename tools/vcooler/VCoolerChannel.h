#pragma once
#include <windows.h>

#include <string>

#include "UniqueResource.h"
#include "VCoolerLayout.h"

namespace vcooler {

// The control channel of the virtual coolers: a named shared-memory section
// ("vcooler-<name>-state") holding State, and a named mutex
// ("vcooler-<name>-lock") around every access. Any process that opens the same
// name sees the same coolers. The section lives as long as one process keeps it
// open (the program, `vcooler serve`, `vcooler window`).
class VCoolerChannel {
public:
    // The channel this process uses: the one given to Select(), else the
    // environment variable VCOOLER_CHANNEL, else "default".
    static VCoolerChannel& Current();
    // Switches this process to another channel (tests use one per process).
    // Not while another thread uses the channel.
    static void Select(const std::wstring& name);

    const std::wstring& Name() const { return name_; }
    bool IsOpen() const { return state_ != nullptr; }

    // Holds the channel's mutex for its lifetime.
    class Locked {
    public:
        explicit Locked(VCoolerChannel& channel);
        ~Locked();
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;
        State& operator*() const { return *state_; }
        State* operator->() const { return state_; }

    private:
        HANDLE mutex_;
        State* state_;
    };

    explicit VCoolerChannel(std::wstring name);
    ~VCoolerChannel();
    VCoolerChannel(const VCoolerChannel&) = delete;
    VCoolerChannel& operator=(const VCoolerChannel&) = delete;

private:
    std::wstring name_;
    UniqueHandle mutex_;
    UniqueHandle mapping_;
    State* state_ = nullptr;
};

// QueryPerformanceCounter in microseconds; the same clock in every process.
int64_t NowUs();

}  // namespace vcooler
