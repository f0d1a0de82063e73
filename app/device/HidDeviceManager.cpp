#include "HidDeviceManager.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The copy handed to hidapi: at most 64 caller bytes, zero-padded to 65, so
// neither a short caller buffer nor hidapi's own read runs past its end.
std::array<unsigned char, kCoolerReportBytes> FrameReport(const unsigned char* report, size_t length)
{
    std::array<unsigned char, kCoolerReportBytes> frame{};
    memcpy(frame.data(), report, std::min(length, kCoolerPayloadBytes));
    return frame;
}

size_t SendLength(size_t length)
{
    return std::min(length, kCoolerReportBytes);
}

}  // namespace

HidDeviceManager& HidDeviceManager::Instance()
{
    static HidDeviceManager instance;
    return instance;
}

HidDeviceManager::HidDeviceManager()
{
    hid_init();
}

HidDeviceManager::~HidDeviceManager()
{
    CloseAll();
    devices_.clear();
    hid_exit();
}

void HidDeviceManager::ClearFilters()
{
    filters_.clear();
}

void HidDeviceManager::AddFilter(unsigned short vendorId, unsigned short productId, const std::wstring& name, int flag)
{
    filters_.push_back({vendorId, productId, name, flag});
}

const HidDeviceManager::Filter* HidDeviceManager::FindFilter(unsigned short vendorId, unsigned short productId) const
{
    for (const Filter& f : filters_) {
        if (f.vendorId == vendorId && f.productId == productId)
            return &f;
    }
    return nullptr;
}

void HidDeviceManager::CloseAll()
{
    if (!listOpen_)
        return;
    listOpen_ = false;
    devices_.clear();
}

void HidDeviceManager::OpenAll()
{
    hid_device_info* all = hid_enumerate(0, 0);
    if (all == nullptr)
        return;
    for (hid_device_info* info = all; info != nullptr; info = info->next) {
        const CoolerDescription* model = FindCooler(info->vendor_id, info->product_id);
        if (model == nullptr || FindFilter(info->vendor_id, info->product_id) == nullptr)
            continue;
        UniqueHidDevice handle(hid_open_path(info->path));
        if (!handle)
            continue;  // held by another program, or gone since the enumeration
        if (info->usage_page == model->usagePage && info->usage == model->usage) {
            const int index = static_cast<int>(devices_.size());
            devices_.push_back(
                std::make_unique<HidDeviceEntry>(handle.release(), info->vendor_id, info->product_id, info->path, index));
        }
    }
    hid_free_enumeration(all);
}

bool HidDeviceManager::SendFeature(const unsigned char* report, size_t length)
{
    if (!listOpen_)
        return false;
    bool result = false;
    for (const auto& entry : devices_) {
        if (entry->Handle() == nullptr)
            continue;
        auto frame = FrameReport(report, length);
        result = hid_send_feature_report(entry->Handle(), frame.data(), SendLength(length)) > 0;
    }
    return result;
}

bool HidDeviceManager::ReadFirmwareVersion(int& version)
{
    if (!listOpen_ || devices_.empty())
        return false;
    const HidDeviceEntry& entry = *devices_.front();
    const CoolerDescription* model = FindCooler(entry.VendorId(), entry.ProductId());
    if (entry.Handle() == nullptr || model == nullptr)
        return false;
    hid_device* handle = entry.Handle();

    std::array<unsigned char, kCoolerPayloadBytes> request{};
    request[0] = model->versionQuery[0];
    request[1] = model->versionQuery[1];
    Sleep(16);

    auto frame = FrameReport(request.data(), request.size());
    if (hid_send_feature_report(handle, frame.data(), request.size()) <= 0)
        return false;

    // The reads' results are not examined: a failed read leaves the request in
    // the buffer, which then reads as version 0xFD00.
    Sleep(16);
    std::array<unsigned char, kCoolerPayloadBytes> answer = request;
    hid_get_feature_report(handle, answer.data(), answer.size());
    if (answer[0] != model->reportId) {
        Sleep(16);
        answer = request;
        hid_get_feature_report(handle, answer.data(), answer.size());
    }
    version = answer[1] * 256 + answer[2];
    return true;
}

size_t HidDeviceManager::OpenCoolers()
{
    ClearFilters();
    for (const CoolerDescription& model : CoolerModels())
        AddFilter(model.vendorId, model.productId, L"", 1);
    CloseAll();
    OpenAll();
    SetListOpen();
    return DeviceCount();
}
