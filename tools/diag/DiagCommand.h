#pragma once
#include <string>
#include <vector>

// The diagnostics tool's subcommands. Each lives in a source file of its own
// and registers itself with GLIMRA_DIAG_COMMAND; main() only dispatches.
class DiagArgs {
public:
    explicit DiagArgs(std::vector<std::wstring> args) : args_(std::move(args)) {}

    bool Has(const wchar_t* flag) const;
    // The value after `option`, or `fallback` when absent.
    std::wstring Value(const wchar_t* option, const std::wstring& fallback) const;
    // A non-negative number after `option`; false when present but malformed.
    bool Number(const wchar_t* option, unsigned fallback, unsigned& out) const;
    const std::vector<std::wstring>& All() const { return args_; }

private:
    std::vector<std::wstring> args_;
};

struct DiagCommand {
    const wchar_t* name;
    const char* usage;    // options, for the help text
    const char* summary;  // one line
    int (*run)(const DiagArgs& args);
};

class DiagRegistry {
public:
    static bool Add(const DiagCommand& command);
    static const std::vector<DiagCommand>& All();
    static const DiagCommand* Find(const std::wstring& name);
};

#define GLIMRA_DIAG_CONCAT2(a, b) a##b
#define GLIMRA_DIAG_CONCAT(a, b) GLIMRA_DIAG_CONCAT2(a, b)
// GLIMRA_DIAG_COMMAND(L"name", "usage", "summary", handler)
#define GLIMRA_DIAG_COMMAND(...) \
    static const bool GLIMRA_DIAG_CONCAT(diagCommandRegistered_, __LINE__) = DiagRegistry::Add(DiagCommand{__VA_ARGS__})
