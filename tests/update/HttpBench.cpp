// Figures for the update client, not a test.
//   update_bench download URL PATH   one DownloadFile: milliseconds and bytes
// The display push beside the network is measured on the whole program
// (tools/updateserver/figures.sh).
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "HttpClient.h"

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

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wcscmp(argv[1], L"download") == 0)
        return Download(argv[2], argv[3]);
    std::fprintf(stderr, "usage: update_bench download URL PATH\n");
    return 2;
}
