#pragma once
#include <cstdint>
#include <vector>

#include "CoolerDescription.h"
#include "VCoolerChannel.h"

namespace vcooler {

struct CoolerConfig {
    uint16_t firmwareVersion = 0x13;
    uint16_t vendorId = DefaultCooler().vendorId;
    uint16_t productId = DefaultCooler().productId;
    std::vector<Collection> collections;  // empty: DefaultCollections()
    uint32_t pathPadding = 0;
    uint32_t restartDelayMs = 500;
};

enum class Fault { FailSends, WrongIdReads, FailReads, UnplugAfterOps };

struct DisplayState {
    bool present = false;
    bool plugged = false;
    bool lit = false;
    uint8_t digits[3] = {};
};

// The commands of the control channel, usable from any process: tests, the
// `vcooler` tool, the diagnostics tool. Plug and unplug also deliver the
// device-change notices to the program's main window. Thread-safe.
class VCoolerControl {
public:
    explicit VCoolerControl(VCoolerChannel& channel = VCoolerChannel::Current()) : channel_(channel) {}

    bool IsOpen() const { return channel_.IsOpen(); }
    // No coolers, no faults, empty log. Hosts stay registered.
    void Reset();
    // Adds a cooler and plugs it in; its index, or -1 when all slots are taken.
    int Plug(const CoolerConfig& config = {});
    // Plugs a known cooler in again (a new generation: old handles stay dead).
    // Silently: no arrival notice, as when the system missed it.
    bool Replug(int index, bool notify = true);
    // Silently: gone without a removal notice.
    bool Unplug(int index, bool notify = true);
    // As after the system slept: the cooler lost power (its display dark until
    // the next report) and every handle opened before fails; it stays listed,
    // and a handle opened now works. No notice.
    bool MakeStale(int index);
    // Leaves the bus and comes back after the cooler's restart delay, on a
    // thread of its own (as after a firmware upgrade).
    void RestartAsync(int index);

    bool SetFirmwareVersion(int index, uint16_t version);
    bool SetFault(int index, Fault fault, int count);
    bool SetCollectionBusy(int index, int collection, bool busy);

    DisplayState ReadDisplay(int index);
    bool ReadCooler(int index, Cooler& out);
    int CoolerCount();
    // Log entries from sequence number `from` on (the log keeps the last 16384);
    // `first`, if given, receives the sequence number of the first one, taken
    // under the same lock.
    std::vector<LogEntry> ReadLog(uint64_t from = 0, uint64_t* first = nullptr);
    uint64_t LogCount();

    void RequestStop(bool stop);
    bool StopRequested();

    // Marks this process as one that hosts the program side (hid_init).
    void RegisterHost();
    void UnregisterHost();

private:
    VCoolerChannel& channel_;
};

// Appends one log entry; the caller holds the lock.
void AppendLog(State& state, int cooler, int collection, LogKind kind, bool ok, const unsigned char* data, size_t length);

}  // namespace vcooler
