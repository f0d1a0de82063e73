#pragma once
#include <string>
#include <vector>

// Reading kinds the library serves.
inline constexpr int kKindTemperature = 1;
inline constexpr int kKindLoad = 7;
inline constexpr int kMaxReadingIndex = 512;  // reading indices run 0..511 per kind

// Hardware classes the library reports.
inline constexpr int kClassCpu = 11;
inline constexpr int kClassBoard = 12;
inline constexpr int kClassGpu = 13;
inline constexpr int kClassOther = 14;

struct SensorValue {
    bool present = false;  // the slot holds a reading
    bool valid = false;    // reported, but with valid = 0 when false
    int hwClass = 0;
    std::string label;
    double value = 0.0;
    std::string source;  // the data source that delivered it ("HWiNFO", "Core Temp", ...)
};

struct SensorDevice {
    std::string name;
    std::vector<SensorValue> temps;  // by reading index
    std::vector<SensorValue> loads;
};

// The normalised device list one refresh produces. Sources are added in order of
// preference; each source opens its devices, and a device that an earlier
// source already named (the n-th device of a name meets the n-th earlier one of
// that name) is shared. A reading that the device already carries (same kind,
// class and label) is dropped, so each reading comes from one source only.
// CPU-wide readings (class 11) are kept once for the whole machine.
class SensorDeviceSet {
public:
    // Starts the next source: occurrence counting for device names restarts, and
    // the readings it adds carry its name.
    void BeginSource(std::string source = {});
    // The device for the next physical device of this name in the current source.
    int OpenDevice(const std::string& name);
    // Appends a reading at the device's next free index of that kind. False when
    // it was dropped (duplicate, or the device has no free index left).
    bool Add(int device, int kind, int hwClass, const std::string& label, double value);
    // Places a reading at a given index (replay). False when the slot is taken or
    // the index is out of range.
    bool Put(int device, int kind, int index, const SensorValue& value);
    // A new device that never merges with another (replay describes exact output).
    int AppendDevice(const std::string& name);

    const std::vector<SensorDevice>& Devices() const { return devices_; }
    const SensorValue* Find(int kind, int device, int index) const;
    // Whether a temperature the program would take as the CPU's is already
    // here: any CPU-class reading, or a board "CPU" / "CPU Package" one.
    bool HasCpuTemperature() const;
    void Clear();

private:
    bool Carries(const SensorDevice& d, int kind, int hwClass, const std::string& label) const;

    std::vector<SensorDevice> devices_;
    std::vector<std::pair<std::string, int>> seenInSource_;  // name, occurrences so far
    std::string source_;
};
