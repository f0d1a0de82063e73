#include "ReleaseRecord.h"

#include <cstdio>

#include "HttpClient.h"
#include "ProductName.h"
#include "VersionPolicy.h"

namespace {

// No package may be longer than the HTTP client downloads at all.
constexpr uint64_t kMaxLength = HttpClient::kMaxDownloadBytes;

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

bool IsHexDigest(const std::string& text)
{
    if (text.size() != 64)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool IsDate(const std::wstring& text)
{
    if (text.size() != 10 || text[4] != L'-' || text[7] != L'-')
        return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!IsDigit(text[i]))
            return false;
    }
    return true;
}

std::wstring Widen(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

bool IsReleaseVersion(const std::wstring& text)
{
    int parts = 0;
    size_t i = 0;
    for (;;) {
        unsigned value = 0;
        size_t digits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
            value = value * 10 + (text[i] - L'0');
            if (digits >= 5 || value > 65535)
                return false;
        }
        if (digits == 0)
            return false;
        ++parts;
        if (i == text.size())
            return parts == 4;
        if (text[i] != L'.' || parts == 4)
            return false;
        ++i;
    }
}

std::wstring TrimVersionText(const std::wstring& text)
{
    const wchar_t* space = L" \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::wstring::npos)
        return L"";
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::optional<ReleaseRecord> ParseReleaseRecord(const std::string& bytes)
{
    if (bytes.size() > kMaxReleaseRecordBytes)
        return std::nullopt;
    static const char* const kKeys[] = {"product", "version", "package", "length",
                                        "sha256", "installer", "installer-sha256", "issued"};
    std::string values[8];
    size_t at = 0;
    for (size_t k = 0; k < 8; ++k) {
        const std::string prefix = std::string(kKeys[k]) + "=";
        const size_t end = bytes.find('\n', at);
        if (end == std::string::npos || bytes.compare(at, prefix.size(), prefix) != 0)
            return std::nullopt;
        values[k] = bytes.substr(at + prefix.size(), end - at - prefix.size());
        // Printable ASCII only: no NUL, no carriage return, nothing a file name could hide.
        for (char c : values[k]) {
            if (c < 0x20 || c > 0x7e)
                return std::nullopt;
        }
        at = end + 1;
    }
    if (at != bytes.size())
        return std::nullopt;

    ReleaseRecord r;
    r.product = Widen(values[0]);
    r.version = Widen(values[1]);
    r.package = Widen(values[2]);
    r.sha256 = values[4];
    r.installer = Widen(values[5]);
    r.installerSha256 = values[6];
    r.issued = Widen(values[7]);
    const std::string& length = values[3];
    if (length.empty() || length.size() > 10 || (length.size() > 1 && length[0] == '0'))
        return std::nullopt;
    for (char c : length) {
        if (c < '0' || c > '9')
            return std::nullopt;
        r.length = r.length * 10 + (c - '0');
    }
    if (r.length == 0 || r.length > kMaxLength || !IsReleaseVersion(r.version) || !IsHexDigest(r.sha256) ||
        !IsHexDigest(r.installerSha256) || !IsDate(r.issued))
        return std::nullopt;
    return r;
}

ReleaseVerdict JudgeReleaseRecord(const ReleaseRecord& record, const std::wstring& ownVersion,
                                  const std::wstring& offeredVersion)
{
    if (!IsReleaseVersion(ownVersion) || CompareVersions(ownVersion, record.version) != 1)
        return ReleaseVerdict::NotNewer;
    if (record.product != kProductName || record.version != offeredVersion ||
        record.package != L"Software-" + record.version + L".zip" ||
        record.installer != L"Software-" + record.version + L".exe")
        return ReleaseVerdict::OtherRelease;
    return ReleaseVerdict::Accepted;
}
