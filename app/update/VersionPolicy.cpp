#include "VersionPolicy.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ReleaseRecord.h"

namespace {

std::vector<std::wstring> SplitParts(const std::wstring& text)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t dot = text.find(L'.', start);
        if (dot == std::wstring::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, dot - start));
        start = dot + 1;
    }
}

}  // namespace

int CompareVersions(const std::wstring& a, const std::wstring& b)
{
    const std::vector<std::wstring> x = SplitParts(a);
    const std::vector<std::wstring> y = SplitParts(b);
    if (x.size() != y.size())
        return 2;
    for (size_t i = 0; i < x.size(); ++i) {
        const int xi = _wtoi(x[i].c_str());
        const int yi = _wtoi(y[i].c_str());
        if (xi < yi)
            return 1;
        if (xi > yi)
            return -1;
    }
    return 0;
}

SoftwareVerdict JudgeSoftwareVersion(const std::wstring& current, const std::wstring& offered)
{
    // The text goes into file names and addresses: only the release format passes.
    const std::wstring version = TrimVersionText(offered);
    if (version.size() > 10 || !IsReleaseVersion(version))
        return SoftwareVerdict::Rejected;
    return CompareVersions(current, version) == 1 ? SoftwareVerdict::Available : SoftwareVerdict::Latest;
}

std::wstring FirmwareHexText(int raw)
{
    wchar_t text[16];
    swprintf(text, sizeof text / sizeof text[0], L"%x", static_cast<unsigned>(raw));
    return text;
}

int FirmwareVersionNumber(int raw)
{
    return _wtoi(FirmwareHexText(raw).c_str());
}

FirmwareVerdict ClassifyFirmware(int raw, const std::wstring& target)
{
    const int v = FirmwareVersionNumber(raw);
    const int t = _wtoi(target.c_str());
    if (v == 0)
        return FirmwareVerdict::UpgradeFromZero;
    if (v >= 1 && v <= 8)
        return FirmwareVerdict::OldBand;
    if (v >= 9 && v < t)
        return FirmwareVerdict::Upgrade;
    return FirmwareVerdict::Latest;
}
