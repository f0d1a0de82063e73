// vcooler-stack: the user-mode host of the kernel-level virtual cooler. Run it
// in a prefix where vcoolerhid.inf can be installed; the control channel
// (`vcooler plug/unplug/...`) then drives device nodes in Windows' own HID stack.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "DeviceNodes.h"
#include "StackHost.h"
#include "VCoolerChannel.h"

namespace {

std::wstring BesideThisProgram(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + name;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring inf = BesideThisProgram(L"vcoolerhid.inf");
    int i = 1;
    for (; i + 1 < argc && wcsncmp(argv[i], L"--", 2) == 0; i += 2) {
        if (wcscmp(argv[i], L"--channel") == 0)
            vcooler::VCoolerChannel::Select(argv[i + 1]);
        else if (wcscmp(argv[i], L"--inf") == 0)
            inf = argv[i + 1];
    }
    const std::wstring command = i < argc ? argv[i] : L"";
    vcooler::VCoolerChannel& channel = vcooler::VCoolerChannel::Current();
    if (!DeviceNodes::ValidChannel(channel.Name())) {
        fwprintf(stderr, L"vcooler-stack: channel name \"%ls\" cannot be part of a device id\n", channel.Name().c_str());
        return 2;
    }
    DeviceNodes nodes(channel.Name(), inf);
    if (command == L"serve")
        return StackHost(channel, nodes).Run();
    if (command == L"install") {
        const unsigned long error = nodes.Install();
        wprintf(L"driver package %ls: %ls (%lu)\n", inf.c_str(), error == 0 ? L"installed" : L"not installed", error);
        return error == 0 ? 0 : 1;
    }
    if (command == L"clean") {
        wprintf(L"removed %d node(s)\n", nodes.RemoveLeftovers());
        return 0;
    }
    fwprintf(stderr, L"usage: vcooler-stack [--channel NAME] [--inf PATH] install|serve|clean\n");
    return 2;
}
