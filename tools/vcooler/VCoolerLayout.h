#pragma once
#include <cstdint>

#include "CoolerDescription.h"

// The virtual coolers' state, kept in a named shared-memory section so that the
// program (through the hidapi functions of this library) and any controlling
// process (tests, scripts, the display window) see the same coolers. Every
// access holds the channel's named mutex. Plain data only: the layout is shared
// between processes.
namespace vcooler {

constexpr uint32_t kMagic = 0x52434C56;  // "VLCR"
constexpr uint32_t kLayoutVersion = 2;
constexpr int kMaxCoolers = 4;
constexpr int kMaxCollections = 4;
constexpr int kMaxHosts = 8;
constexpr int kLogCapacity = 16384;
constexpr int kReportBytes = 65;

// Firmware transfer, as the cooler's boot loader sees it (the description's
// framing: 327 reports of 62 bytes, image offsets 0x1000 to 0x5EFE).
constexpr int kUpgradeDataReports = static_cast<int>(kGlimraUpgrade.DataReports());
constexpr int kUpgradeDataBytesPerReport = static_cast<int>(kGlimraUpgrade.bytesPerReport);
constexpr int kUpgradeWindowBytes = static_cast<int>(kGlimraUpgrade.windowBytes);

enum class Mode : uint32_t { Normal = 0, BootLoader = 1 };

struct Collection {
    uint16_t usagePage;
    uint16_t usage;
    uint32_t busy;  // held by another program: cannot be opened
};

struct Cooler {
    uint32_t present;     // the slot describes a cooler (plugged or not)
    uint32_t plugged;     // on the bus
    uint32_t generation;  // bumped on every plug; handles of an older one are dead
    uint32_t handleEpoch; // bumped when the handles go stale; handles of an older one are dead
    uint32_t serial;      // part of the device paths
    uint16_t vendorId;
    uint16_t productId;
    uint16_t firmwareVersion;
    uint16_t collectionCount;
    Collection collections[kMaxCollections];
    uint32_t pathPadding;  // extra characters in the paths (long-path cases)

    // The display: digits 0 to 9 each; blank when not lit.
    uint8_t digits[3];
    uint8_t lit;

    uint32_t versionPending;  // a version request arrived; the next read answers it
    Mode mode;
    uint32_t upgradeReports;  // data reports received in boot-loader mode
    uint8_t upgradeData[kUpgradeDataReports * kUpgradeDataBytesPerReport];
    uint32_t restartDelayMs;  // off the bus after an upgrade for this long

    // Faults on demand.
    int32_t failSends;       // the next N feature sends fail
    int32_t wrongIdReads;    // the next N feature reads answer with another report id
    int32_t failReads;       // the next N feature reads fail
    int32_t unplugAfterOps;  // leaves the bus at the (N+1)th HID operation; -1 off
};

enum class LogKind : uint8_t { SendFeature = 0, GetFeature = 1, Open = 2 };

struct LogEntry {
    int64_t timeUs;  // QueryPerformanceCounter in microseconds (system-wide)
    uint8_t cooler;
    uint8_t collection;
    LogKind kind;
    uint8_t ok;
    uint16_t length;
    uint8_t data[kReportBytes];  // sent bytes, or the bytes a read returned
};

struct State {
    uint32_t magic;
    uint32_t layoutVersion;
    uint32_t hosts[kMaxHosts];  // processes using the hidapi side: notice targets
    Cooler coolers[kMaxCoolers];
    uint32_t nextSerial;
    uint32_t stopRequested;  // asks a holding process (serve / window) to end
    uint64_t logCount;       // entries ever written; the log keeps the last kLogCapacity
    LogEntry log[kLogCapacity];
};

}  // namespace vcooler
