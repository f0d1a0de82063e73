#pragma once
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>

#include "DeviceNodes.h"
#include "VCoolerChannel.h"
#include "VCoolerLayout.h"

// The user-mode half of the kernel-level virtual cooler. Keeps one device node
// per plugged cooler of the channel (a new node for each plug, none while
// unplugged), and answers the driver's feature reports over the pipe
// "\\.\pipe\vcooler-<channel>-stack" with the channel's cooler model, faults and
// report log: the same device the link-time virtual cooler serves.
class StackHost {
public:
    StackHost(vcooler::VCoolerChannel& channel, DeviceNodes nodes);

    // Runs until the channel asks its holders to stop (`vcooler stop`), then
    // removes its nodes. Prints each node change to stdout.
    int Run();

private:
    void Reconcile();
    // Pipe threads: accept driver connections / answer one connection.
    void Listen();
    void Serve(HANDLE pipe);

    vcooler::VCoolerChannel& channel_;
    DeviceNodes nodes_;
    // The generation of the plug each node stands for; the driver's reports
    // reach the cooler only while it is still that plug.
    std::array<std::atomic<bool>, vcooler::kMaxCoolers> nodePresent_{};
    std::array<std::atomic<uint32_t>, vcooler::kMaxCoolers> nodeGeneration_{};
};
