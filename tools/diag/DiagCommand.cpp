#include "DiagCommand.h"

#include <cwchar>

namespace {
std::vector<DiagCommand>& Commands()
{
    static std::vector<DiagCommand> commands;
    return commands;
}
}  // namespace

bool DiagArgs::Has(const wchar_t* flag) const
{
    for (const auto& a : args_) {
        if (a == flag)
            return true;
    }
    return false;
}

std::wstring DiagArgs::Value(const wchar_t* option, const std::wstring& fallback) const
{
    for (size_t i = 0; i + 1 < args_.size(); ++i) {
        if (args_[i] == option)
            return args_[i + 1];
    }
    return fallback;
}

bool DiagArgs::Number(const wchar_t* option, unsigned fallback, unsigned& out) const
{
    const std::wstring text = Value(option, L"");
    if (text.empty()) {
        out = fallback;
        return !Has(option);
    }
    wchar_t* end = nullptr;
    const unsigned long v = std::wcstoul(text.c_str(), &end, 10);
    if (*end != L'\0' || text[0] == L'-' || v > 100000000ul)
        return false;
    out = static_cast<unsigned>(v);
    return true;
}

bool DiagRegistry::Add(const DiagCommand& command)
{
    Commands().push_back(command);
    return true;
}

const std::vector<DiagCommand>& DiagRegistry::All()
{
    return Commands();
}

const DiagCommand* DiagRegistry::Find(const std::wstring& name)
{
    for (const auto& c : Commands()) {
        if (name == c.name)
            return &c;
    }
    return nullptr;
}
