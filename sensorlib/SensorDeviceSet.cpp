#include "SensorDeviceSet.h"

namespace {
std::vector<SensorValue>& Slots(SensorDevice& d, int kind)
{
    return kind == kKindTemperature ? d.temps : d.loads;
}
}

void SensorDeviceSet::BeginSource(std::string source)
{
    seenInSource_.clear();
    source_ = std::move(source);
}

int SensorDeviceSet::OpenDevice(const std::string& name)
{
    int occurrence = 0;
    bool counted = false;
    for (auto& [seen, count] : seenInSource_) {
        if (seen == name) {
            occurrence = count++;
            counted = true;
            break;
        }
    }
    if (!counted)
        seenInSource_.emplace_back(name, 1);

    int matched = 0;
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].name == name && matched++ == occurrence)
            return static_cast<int>(i);
    }
    return AppendDevice(name);
}

int SensorDeviceSet::AppendDevice(const std::string& name)
{
    devices_.push_back(SensorDevice{name, {}, {}});
    return static_cast<int>(devices_.size()) - 1;
}

bool SensorDeviceSet::Carries(const SensorDevice& d, int kind, int hwClass, const std::string& label) const
{
    const auto& slots = kind == kKindTemperature ? d.temps : d.loads;
    for (const auto& v : slots) {
        if (v.present && v.hwClass == hwClass && v.label == label)
            return true;
    }
    return false;
}

bool SensorDeviceSet::Add(int device, int kind, int hwClass, const std::string& label, double value)
{
    if (device < 0 || device >= static_cast<int>(devices_.size()))
        return false;
    if (hwClass == kClassCpu) {
        for (const auto& d : devices_) {
            if (Carries(d, kind, hwClass, label))
                return false;
        }
    } else if (Carries(devices_[device], kind, hwClass, label)) {
        return false;
    }
    auto& slots = Slots(devices_[device], kind);
    if (slots.size() >= kMaxReadingIndex)
        return false;
    slots.push_back(SensorValue{true, true, hwClass, label, value, source_});
    return true;
}

bool SensorDeviceSet::Put(int device, int kind, int index, const SensorValue& value)
{
    if (device < 0 || device >= static_cast<int>(devices_.size()) || index < 0 || index >= kMaxReadingIndex)
        return false;
    auto& slots = Slots(devices_[device], kind);
    if (slots.size() <= static_cast<size_t>(index))
        slots.resize(index + 1);
    if (slots[index].present)
        return false;
    slots[index] = value;
    slots[index].present = true;
    return true;
}

const SensorValue* SensorDeviceSet::Find(int kind, int device, int index) const
{
    if (device < 0 || device >= static_cast<int>(devices_.size()) || index < 0)
        return nullptr;
    if (kind != kKindTemperature && kind != kKindLoad)
        return nullptr;
    const auto& slots = kind == kKindTemperature ? devices_[device].temps : devices_[device].loads;
    if (static_cast<size_t>(index) >= slots.size() || !slots[index].present)
        return nullptr;
    return &slots[index];
}

bool SensorDeviceSet::HasCpuTemperature() const
{
    for (const auto& d : devices_) {
        for (const auto& v : d.temps) {
            if (!v.present || !v.valid)
                continue;
            if (v.hwClass == kClassCpu)
                return true;
            if (v.hwClass == kClassBoard && (v.label == "CPU" || v.label.find("CPU Package") != std::string::npos))
                return true;
        }
    }
    return false;
}

void SensorDeviceSet::Clear()
{
    devices_.clear();
    seenInSource_.clear();
    source_.clear();
}
