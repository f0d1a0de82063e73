// vcooler: the command-line end of the virtual coolers' control channel.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "FirmwareImage.h"
#include "SevenSegmentWindow.h"
#include "VCoolerControl.h"

using namespace vcooler;

namespace {

void Usage()
{
    fwprintf(stderr,
             L"usage: vcooler [--channel NAME] COMMAND [ARGS]\n"
             L"  serve | window | stop | reset | status\n"
             L"  plug [--version V] [--vid V] [--pid P] [--collections PAGE:USAGE,...] [--padding N] [--restart-ms N]\n"
             L"  unplug I [--silent] | replug I [--silent] | stale I | version I V | busy I COLLECTION 0|1\n"
             L"  fault I fail-sends|wrong-id-reads|fail-reads|unplug-after N\n"
             L"  digits I | log [FROM] | write-image PATH VERSION [SIZE]\n");
}

unsigned long Number(const wchar_t* text)
{
    return wcstoul(text, nullptr, 0);
}

std::vector<Collection> ParseCollections(const std::wstring& text)
{
    std::vector<Collection> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L',', pos);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring item = text.substr(pos, end - pos);
        const size_t colon = item.find(L':');
        if (colon != std::wstring::npos) {
            out.push_back({static_cast<uint16_t>(Number(item.substr(0, colon).c_str())),
                           static_cast<uint16_t>(Number(item.substr(colon + 1).c_str())), 0});
        }
        pos = end + 1;
    }
    return out;
}

void PrintDisplay(VCoolerControl& control, int index)
{
    const DisplayState d = control.ReadDisplay(index);
    if (!d.present)
        wprintf(L"none\n");
    else if (!d.plugged)
        wprintf(L"unplugged\n");
    else if (!d.lit)
        wprintf(L"blank\n");
    else
        wprintf(L"%u %u %u\n", d.digits[0], d.digits[1], d.digits[2]);
}

int Status(VCoolerControl& control)
{
    for (int i = 0; i < kMaxCoolers; ++i) {
        Cooler c{};
        if (!control.ReadCooler(i, c))
            continue;
        wprintf(L"cooler %d: vid %04x pid %04x version 0x%04x %ls %ls collections %u\n", i, c.vendorId, c.productId,
                c.firmwareVersion, c.plugged ? L"plugged" : L"unplugged", c.mode == Mode::BootLoader ? L"boot-loader" : L"normal",
                c.collectionCount);
    }
    return 0;
}

int Log(VCoolerControl& control, uint64_t from)
{
    static const wchar_t* kKinds[] = {L"send", L"get", L"open"};
    uint64_t seq = 0;
    const std::vector<LogEntry> entries = control.ReadLog(from, &seq);
    for (const LogEntry& e : entries) {
        wprintf(L"%llu %lld %u %u %ls %u %u ", static_cast<unsigned long long>(seq++), static_cast<long long>(e.timeUs), e.cooler,
                e.collection, kKinds[static_cast<int>(e.kind) % 3], e.ok, e.length);
        const int n = e.length < kReportBytes ? e.length : kReportBytes;
        for (int k = 0; k < n; ++k)
            wprintf(L"%02x", e.data[k]);
        wprintf(L"\n");
    }
    return 0;
}

int Serve(VCoolerControl& control, bool window)
{
    control.RequestStop(false);
    wprintf(L"serving channel %ls\n", VCoolerChannel::Current().Name().c_str());
    fflush(stdout);
    if (window) {
        SevenSegmentWindow display(control);
        if (!display.Create(GetModuleHandleW(nullptr)))
            return 1;
        return display.RunLoop();
    }
    while (!control.StopRequested())
        Sleep(100);
    return 0;
}

int Plug(VCoolerControl& control, int argc, wchar_t** argv, int i)
{
    CoolerConfig config;
    for (; i + 1 < argc; i += 2) {
        const std::wstring opt = argv[i];
        if (opt == L"--version")
            config.firmwareVersion = static_cast<uint16_t>(Number(argv[i + 1]));
        else if (opt == L"--vid")
            config.vendorId = static_cast<uint16_t>(Number(argv[i + 1]));
        else if (opt == L"--pid")
            config.productId = static_cast<uint16_t>(Number(argv[i + 1]));
        else if (opt == L"--collections")
            config.collections = ParseCollections(argv[i + 1]);
        else if (opt == L"--padding")
            config.pathPadding = Number(argv[i + 1]);
        else if (opt == L"--restart-ms")
            config.restartDelayMs = Number(argv[i + 1]);
        else
            return 2;
    }
    const int index = control.Plug(config);
    if (index < 0) {
        fwprintf(stderr, L"no free cooler slot\n");
        return 1;
    }
    wprintf(L"%d\n", index);
    return 0;
}

int SetFault(VCoolerControl& control, int index, const std::wstring& name, int count)
{
    Fault fault;
    if (name == L"fail-sends")
        fault = Fault::FailSends;
    else if (name == L"wrong-id-reads")
        fault = Fault::WrongIdReads;
    else if (name == L"fail-reads")
        fault = Fault::FailReads;
    else if (name == L"unplug-after")
        fault = Fault::UnplugAfterOps;
    else
        return 2;
    return control.SetFault(index, fault, count) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int i = 1;
    if (argc > 2 && std::wstring(argv[1]) == L"--channel") {
        VCoolerChannel::Select(argv[2]);
        i = 3;
    }
    if (i >= argc) {
        Usage();
        return 2;
    }
    VCoolerControl control;
    if (!control.IsOpen()) {
        fwprintf(stderr, L"cannot open the channel \"%ls\"\n", VCoolerChannel::Current().Name().c_str());
        return 1;
    }
    const std::wstring cmd = argv[i++];
    const int rest = argc - i;
    int rc = 2;
    if (cmd == L"serve" || cmd == L"window")
        rc = Serve(control, cmd == L"window");
    else if (cmd == L"stop")
        rc = (control.RequestStop(true), 0);
    else if (cmd == L"reset")
        rc = (control.Reset(), 0);
    else if (cmd == L"status")
        rc = Status(control);
    else if (cmd == L"plug")
        rc = Plug(control, argc, argv, i);
    else if ((cmd == L"unplug" || cmd == L"replug") && (rest == 1 || (rest == 2 && std::wstring(argv[i + 1]) == L"--silent"))) {
        const int index = static_cast<int>(Number(argv[i]));
        const bool notify = rest == 1;
        rc = (cmd == L"unplug" ? control.Unplug(index, notify) : control.Replug(index, notify)) ? 0 : 1;
    } else if (cmd == L"stale" && rest == 1)
        rc = control.MakeStale(static_cast<int>(Number(argv[i]))) ? 0 : 1;
    else if (cmd == L"version" && rest == 2)
        rc = control.SetFirmwareVersion(static_cast<int>(Number(argv[i])), static_cast<uint16_t>(Number(argv[i + 1]))) ? 0 : 1;
    else if (cmd == L"busy" && rest == 3)
        rc = control.SetCollectionBusy(static_cast<int>(Number(argv[i])), static_cast<int>(Number(argv[i + 1])), Number(argv[i + 2]) != 0) ? 0 : 1;
    else if (cmd == L"fault" && rest == 3)
        rc = SetFault(control, static_cast<int>(Number(argv[i])), argv[i + 1], static_cast<int>(Number(argv[i + 2])));
    else if (cmd == L"digits" && rest == 1)
        rc = (PrintDisplay(control, static_cast<int>(Number(argv[i]))), 0);
    else if (cmd == L"log")
        rc = Log(control, rest >= 1 ? Number(argv[i]) : 0);
    else if (cmd == L"write-image" && rest >= 2)
        rc = WriteFirmwareImage(argv[i], static_cast<uint16_t>(Number(argv[i + 1])), rest >= 3 ? Number(argv[i + 2]) : 0x6000) ? 0 : 1;
    if (rc == 2)
        Usage();
    fflush(stdout);
    return rc;
}
