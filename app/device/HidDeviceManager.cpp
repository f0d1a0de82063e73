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
    listed_ = 0;
    hid_device_info* all = hid_enumerate(0, 0);
    if (all == nullptr)
        return;
    for (hid_device_info* info = all; info != nullptr; info = info->next) {
        const CoolerDescription* model = FindCooler(info->vendor_id, info->product_id);
        if (model == nullptr || FindFilter(info->vendor_id, info->product_id) == nullptr)
            continue;
        if (info->usage_page == model->usagePage && info->usage == model->usage)
            ++listed_;
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

    // An answer counts only when the read returned the version report; a failed
    // read or another report is tried once more, then the version is unknown.
    const auto readAnswer = [&](std::array<unsigned char, kCoolerPayloadBytes>& answer) {
        answer = request;
        return hid_get_feature_report(handle, answer.data(), answer.size()) >= 3 && answer[0] == model->reportId;
    };
    Sleep(16);
    std::array<unsigned char, kCoolerPayloadBytes> answer{};
    if (!readAnswer(answer)) {
        Sleep(16);
        if (!readAnswer(answer))
            return false;
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
