#include "CoolerModel.h"

#include <cstdio>
#include <cstring>

#include "CoolerDescription.h"
#include "FirmwareImage.h"

namespace vcooler {

namespace {
// The simulated cooler speaks the protocol the program's description gives.
const CoolerDescription& Model()
{
    return DefaultCooler();
}
}  // namespace

std::vector<Collection> DefaultCollections()
{
    return {{0x000C, 0x0001, 0}, {Model().usagePage, Model().usage, 0}, {0xFF00, 0x0002, 0}};
}

bool IsDisplayCollection(const Collection& c)
{
    return c.usagePage == Model().usagePage && c.usage == Model().usage;
}

SendOutcome ReceiveFeature(Cooler& cooler, int collection, const unsigned char* data, size_t length)
{
    SendOutcome out;
    if (collection < 0 || collection >= cooler.collectionCount || !IsDisplayCollection(cooler.collections[collection]))
        return out;
    if (length < 2 || data[0] != Model().reportId)
        return out;
    out.result = static_cast<int>(length);

    if (cooler.mode == Mode::BootLoader) {
        const size_t n = length - 1 < static_cast<size_t>(kUpgradeDataBytesPerReport) ? length - 1 : kUpgradeDataBytesPerReport;
        memcpy(cooler.upgradeData + cooler.upgradeReports * kUpgradeDataBytesPerReport, data + 1, n);
        if (++cooler.upgradeReports == static_cast<uint32_t>(kUpgradeDataReports)) {
            cooler.firmwareVersion = ReceivedImageVersion(cooler);
            cooler.mode = Mode::Normal;
            cooler.upgradeReports = 0;
            out.restart = true;
        }
        return out;
    }

    const unsigned char b1 = data[1];
    const unsigned char b2 = length > 2 ? data[2] : 0;
    const auto& header = Model().displayHeader;
    if (b1 == header[1] && b2 == header[2] && length >= 6) {
        memcpy(cooler.digits, data + 3, 3);
        cooler.lit = (data[3] | data[4] | data[5]) != 0;
    } else if (b1 == Model().versionQuery[1]) {
        cooler.versionPending = 1;
    } else if (b1 == Model().upgrade.command[1] && b2 == Model().upgrade.command[2]) {
        cooler.mode = Mode::BootLoader;
        cooler.upgradeReports = 0;
        cooler.versionPending = 0;
        cooler.lit = 0;
    }
    return out;
}

int AnswerFeature(Cooler& cooler, int collection, unsigned char* data, size_t length)
{
    if (collection < 0 || collection >= cooler.collectionCount || !IsDisplayCollection(cooler.collections[collection]))
        return -1;
    if (length < 3)
        return -1;
    memset(data, 0, length);
    data[0] = Model().reportId;
    if (cooler.versionPending) {
        data[1] = static_cast<unsigned char>(cooler.firmwareVersion >> 8);
        data[2] = static_cast<unsigned char>(cooler.firmwareVersion & 0xFF);
        cooler.versionPending = 0;
    }
    return static_cast<int>(length);
}

uint16_t ReceivedImageVersion(const Cooler& cooler)
{
    const size_t at = kImageVersionOffset - kImageWindowStart;
    return static_cast<uint16_t>(cooler.upgradeData[at] << 8 | cooler.upgradeData[at + 1]);
}

std::string CollectionPath(const Cooler& cooler, int collection)
{
    char path[160];
    snprintf(path, sizeof(path), "\\\\?\\hid#vid_%04x&pid_%04x&col%02d#7&%08x&0&%04d", cooler.vendorId, cooler.productId,
             collection + 1, cooler.serial, collection);
    std::string result = path;
    result.append(cooler.pathPadding, '0');
    result += "#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    return result;
}

std::wstring UsbDevicePath(const Cooler& cooler)
{
    wchar_t path[128];
    swprintf(path, 128, L"\\\\?\\usb#vid_%04x&pid_%04x#vc%08x#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", cooler.vendorId,
             cooler.productId, cooler.serial);
    return path;
}

void PlugIn(Cooler& cooler)
{
    cooler.plugged = 1;
    cooler.generation++;
    cooler.lit = 0;
    cooler.versionPending = 0;
    cooler.mode = Mode::Normal;
    cooler.upgradeReports = 0;
}

void Unplug(Cooler& cooler)
{
    if (cooler.mode == Mode::BootLoader)
        cooler.firmwareVersion = 0;
    cooler.plugged = 0;
    cooler.lit = 0;
    cooler.versionPending = 0;
    cooler.mode = Mode::Normal;
    cooler.upgradeReports = 0;
}

}  // namespace vcooler
