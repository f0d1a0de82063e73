// Stands in for the installer inside a test update package: appends its command
// line to the file named by GLIMRA_TEST_INSTALLER_MARK, so a test sees that the
// program started it, and ends.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain()
{
    wchar_t mark[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"GLIMRA_TEST_INSTALLER_MARK", mark, MAX_PATH) == 0)
        return 1;
    FILE* out = _wfopen(mark, L"a, ccs=UTF-8");
    if (out == nullptr)
        return 1;
    std::fwprintf(out, L"%ls\n", GetCommandLineW());
    std::fclose(out);
    return 0;
}
