// Figures for the update client, not a test.
//   update_bench download URL PATH   one DownloadFile: milliseconds and bytes
//   update_bench stall [SECONDS]     the display push on a virtual cooler while
//                                    the worker runs a silent software check
//                                    against GLIMRA_UPDATE_SERVER: the longest
//                                    gap between display reports, in ms
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "DeviceWorker.h"
#include "HttpClient.h"
#include "UpdateServer.h"
#include "VCoolerControl.h"

using namespace vcooler;

namespace {

int Download(const wchar_t* url, const wchar_t* path)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const int rc = HttpClient().DownloadFile(url, path, nullptr);
    QueryPerformanceCounter(&end);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path, GetFileExInfoStandard, &data);
    std::printf("rc %d ms %.1f bytes %lu\n", rc, 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart,
                data.nFileSizeLow);
    return rc == 1 ? 0 : 1;
}

// The worker with the silent software check's fetch, as the program runs it.
class BenchWorker : public DeviceWorker {
public:
    ~BenchWorker() override { ShutdownWorker(); }

protected:
    void CheckSoftware(bool) override
    {
        std::wstring text;
        const DWORD start = GetTickCount();
        const int rc = HttpClient().GetString(SoftwareUpdateUrl() + L"version", text);
        std::printf("silent check: rc %d after %lu ms\n", rc, GetTickCount() - start);
    }
};

int Stall(int seconds)
{
    VCoolerChannel::Select(L"updatebench-" + std::to_wstring(GetCurrentProcessId()));
    VCoolerControl coolers;
    coolers.Reset();
    coolers.Plug();
    BenchWorker worker;
    worker.PushCommand(WorkerCommand::Connect);
    worker.StartThread(16);
    Sleep(3000);  // pushing steadily
    worker.PushCommand(WorkerCommand::SilentSoftwareCheck);
    Sleep(seconds * 1000);
    worker.StopThread();
    worker.JoinThread();

    long long previous = -1, longest = 0;
    int reports = 0;
    for (const LogEntry& e : coolers.ReadLog(0)) {
        if (e.kind != LogKind::SendFeature || e.length < 3 || e.data[0] != 0x07 || e.data[1] != 0xFF || e.data[2] != 0xFF)
            continue;
        ++reports;
        if (previous >= 0 && e.timeUs - previous > longest)
            longest = e.timeUs - previous;
        previous = e.timeUs;
    }
    std::printf("display reports %d longest gap ms %.0f\n", reports, longest / 1000.0);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wcscmp(argv[1], L"download") == 0)
        return Download(argv[2], argv[3]);
    if (argc >= 2 && std::wcscmp(argv[1], L"stall") == 0)
        return Stall(argc >= 3 ? _wtoi(argv[2]) : 20);
    std::fprintf(stderr, "usage: update_bench download URL PATH | stall [SECONDS]\n");
    return 2;
}
