#include "ZipEntryName.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Position of the first inner "\..\" in any mix of separators, or npos.
size_t FindInnerParent(const std::wstring& name)
{
    for (size_t i = 0; i + 4 <= name.size(); ++i) {
        if (IsPathSeparator(name[i]) && name[i + 1] == L'.' && name[i + 2] == L'.' && IsPathSeparator(name[i + 3]))
            return i;
    }
    return std::wstring::npos;
}

bool IsForbidden(wchar_t c)
{
    return c < 0x20 || wcschr(L"<>:\"|?*", c) != nullptr;
}

// Device names Windows resolves in any folder, also before an extension.
bool IsReservedDeviceName(const std::wstring& segment)
{
    std::wstring stem = segment.substr(0, segment.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    std::transform(stem.begin(), stem.end(), stem.begin(), [](wchar_t c) { return towupper(c); });
    static constexpr std::array<const wchar_t*, 6> kFixed{L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* name : kFixed) {
        if (stem == name)
            return true;
    }
    if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0)) {
        const wchar_t digit = stem[3];
        return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
    }
    return false;
}

std::wstring FullPath(const std::wstring& path)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0)
            return L"";
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

}  // namespace

bool IsPathSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

std::wstring CleanZipEntryName(std::wstring name)
{
    for (;;) {
        if (name.size() >= 2 && name[1] == L':') {
            name.erase(0, 2);
        } else if (!name.empty() && IsPathSeparator(name[0])) {
            name.erase(0, 1);
        } else if (name.size() >= 3 && name[0] == L'.' && name[1] == L'.' && IsPathSeparator(name[2])) {
            name.erase(0, 3);
        } else if (const size_t at = FindInnerParent(name); at != std::wstring::npos) {
            name.erase(0, at + 4);
        } else {
            return name;
        }
    }
}

EntryNameProblem CheckZipEntryName(const std::wstring& cleaned, std::wstring& relative)
{
    std::wstring out;
    size_t start = 0;
    while (start <= cleaned.size()) {
        size_t end = start;
        while (end < cleaned.size() && !IsPathSeparator(cleaned[end]))
            ++end;
        const std::wstring segment = cleaned.substr(start, end - start);
        start = end + 1;
        if (segment.empty())
            continue;
        if (segment == L"." || segment == L"..")
            return EntryNameProblem::DotSegment;
        if (std::any_of(segment.begin(), segment.end(), IsForbidden))
            return EntryNameProblem::ForbiddenCharacter;
        if (segment.back() == L'.' || segment.back() == L' ')
            return EntryNameProblem::TrailingDotOrSpace;
        if (IsReservedDeviceName(segment))
            return EntryNameProblem::ReservedDeviceName;
        if (!out.empty())
            out += L'\\';
        out += segment;
    }
    if (out.empty())
        return EntryNameProblem::Empty;
    relative = out;
    return EntryNameProblem::None;
}

bool PathLiesInside(const std::wstring& folder, const std::wstring& path)
{
    std::wstring base = FullPath(folder);
    const std::wstring full = FullPath(path);
    if (base.empty() || full.empty())
        return false;
    if (base.back() != L'\\')
        base += L'\\';
    return full.size() > base.size() &&
           CompareStringOrdinal(full.c_str(), static_cast<int>(base.size()), base.c_str(),
                                static_cast<int>(base.size()), TRUE) == CSTR_EQUAL;
}
