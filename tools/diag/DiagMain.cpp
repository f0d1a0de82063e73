// glimra-diag: support diagnostics for the sensor path (and, later, the cooler).
#include <windows.h>

#include <cstdio>

#include "DiagCommand.h"

namespace {
int Help(const DiagArgs&)
{
    std::printf("usage: glimra-diag <command> [options]\n\ncommands:\n");
    for (const auto& c : DiagRegistry::All()) {
        std::printf("  %-9ls %s\n", c.name, c.summary);
        if (c.usage[0] != '\0')
            std::printf("  %9s %s\n", "", c.usage);
    }
    return 0;
}
}  // namespace

GLIMRA_DIAG_COMMAND(L"help", "", "this text", &Help);

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        Help(DiagArgs({}));
        return 2;
    }
    const DiagCommand* command = DiagRegistry::Find(argv[1]);
    if (command == nullptr) {
        std::fprintf(stderr, "glimra-diag: unknown command '%ls' (try: glimra-diag help)\n", argv[1]);
        return 2;
    }
    return command->run(DiagArgs(std::vector<std::wstring>(argv + 2, argv + argc)));
}
