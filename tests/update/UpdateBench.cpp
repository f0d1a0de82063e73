// Figures, not a test: time to extract a package and to verify its signature.
// update_bench.exe <package.zip> <package.zip.sig> <folder> [runs]
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "PackageSignature.h"
#include "ZipExtractor.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        fwprintf(stderr, L"usage: update_bench <package.zip> <package.zip.sig> <folder> [runs]\n");
        return 2;
    }
    const int runs = argc > 4 ? _wtoi(argv[4]) : 3;
    for (int run = 0; run < runs; ++run) {
        LARGE_INTEGER t0, t1, t2;
        QueryPerformanceCounter(&t0);
        const SignatureCheck check = VerifyPackageSignature(argv[1], argv[2]);
        QueryPerformanceCounter(&t1);
        ZipExtractor extractor;
        const bool opened = extractor.Extract(argv[1], argv[3]);
        QueryPerformanceCounter(&t2);
        size_t written = 0;
        for (const ZipEntryRecord& e : extractor.Entries())
            written += e.outcome == ZipEntryOutcome::FileWritten;
        wprintf(L"run %d: verify %.3f s (%ls), extract %.3f s (%ls, %zu files)\n", run, Seconds(t0, t1),
                check == SignatureCheck::Valid ? L"valid" : L"NOT VALID", Seconds(t1, t2),
                opened ? L"opened" : L"NOT OPENED", written);
    }
    return 0;
}
