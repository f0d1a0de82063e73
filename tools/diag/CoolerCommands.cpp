// Cooler commands: list the coolers and their collections, read a cooler's
// firmware version, send one display value. They go through the program's own
// device code, so the virtual-cooler build doubles as a test driver.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include <hidapi.h>

#include "DiagCommand.h"
#include "DisplayReport.h"
#include "HidDeviceManager.h"
#include "SensorSnapshot.h"

namespace {

// Opens the coolers' display collections as the connect command does.
size_t ConnectCoolers()
{
    return HidDeviceManager::Instance().OpenCoolers();
}

int ListCoolers(const DiagArgs&)
{
    HidDeviceManager::Instance();  // hid_init
    hid_device_info* all = hid_enumerate(DefaultCooler().vendorId, DefaultCooler().productId);
    int collections = 0;
    const wchar_t* lastSerial = nullptr;
    for (hid_device_info* info = all; info != nullptr; info = info->next) {
        const wchar_t* serial = info->serial_number != nullptr ? info->serial_number : L"";
        if (lastSerial == nullptr || wcscmp(lastSerial, serial) != 0) {
            std::printf("cooler %04x:%04x serial %ls \"%ls\"\n", info->vendor_id, info->product_id, serial,
                        info->product_string != nullptr ? info->product_string : L"");
            lastSerial = serial;
        }
        const bool display = info->usage_page == DefaultCooler().usagePage && info->usage == DefaultCooler().usage;
        hid_device* probe = hid_open_path(info->path);
        std::printf("  collection usage page %04x usage %04x%s%s\n    %s\n", info->usage_page, info->usage,
                    display ? "  [display]" : "", probe == nullptr ? "  (cannot be opened)" : "", info->path);
        if (probe != nullptr)
            hid_close(probe);
        ++collections;
    }
    hid_free_enumeration(all);
    if (collections == 0) {
        std::printf("no cooler found\n");
        return 1;
    }
    std::printf("%zu display collection(s) open\n", ConnectCoolers());
    return 0;
}

int ReadVersion(const DiagArgs&)
{
    if (ConnectCoolers() == 0) {
        std::fprintf(stderr, "no cooler found\n");
        return 1;
    }
    int version = -1;
    if (!HidDeviceManager::Instance().ReadFirmwareVersion(version)) {
        std::fprintf(stderr, "the version request could not be sent\n");
        return 1;
    }
    std::printf("firmware version %d (0x%04x)\n", version, version);
    return 0;
}

int SendDisplay(const DiagArgs& args)
{
    if (args.All().empty()) {
        std::fprintf(stderr, "display: a value is needed\n");
        return 2;
    }
    wchar_t* end = nullptr;
    const double value = std::wcstod(args.All()[0].c_str(), &end);
    if (end == args.All()[0].c_str() || *end != L'\0') {
        std::fprintf(stderr, "display: '%ls' is not a number\n", args.All()[0].c_str());
        return 2;
    }
    if (ConnectCoolers() == 0) {
        std::fprintf(stderr, "no cooler found\n");
        return 1;
    }
    // The value travels as a CPU temperature through the program's own framing.
    SensorSnapshot record;
    std::memset(&record, 0, sizeof(record));
    record.cpuTemperature = static_cast<float>(value);
    const int led = args.Value(L"--light", L"on") == L"off" ? 2 : 1;
    const int tempe = args.Has(L"--fahrenheit") ? 1 : 0;
    const DisplayReportBytes report = BuildDisplayReport(&record, led, 0, tempe);
    const bool sent = HidDeviceManager::Instance().SendFeature(report.data(), report.size());
    std::printf("%s 07 ff ff %02x %02x %02x to %zu cooler(s)\n", sent ? "sent" : "failed to send", report[3], report[4],
                report[5], HidDeviceManager::Instance().DeviceCount());
    return sent ? 0 : 1;
}

}  // namespace

GLIMRA_DIAG_COMMAND(L"coolers", "", "list the coolers and their HID collections", &ListCoolers);
GLIMRA_DIAG_COMMAND(L"fwversion", "", "read the first cooler's firmware version", &ReadVersion);
GLIMRA_DIAG_COMMAND(L"display", "VALUE [--fahrenheit] [--light off]", "send one display value to every cooler", &SendDisplay);
