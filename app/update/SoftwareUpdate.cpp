#include "SoftwareUpdate.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "PackageSignature.h"
#include "ReleaseRecord.h"
#include "StagingFolder.h"
#include "UniqueResource.h"
#include "ZipExtractor.h"

namespace {

// A detached signature is a few hundred bytes (PackageSignature reads at most 4096).
constexpr uint64_t kMaxSignatureBytes = 4096;

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// Readable by anyone who shares reading, writable and removable by nobody while held.
UniqueHandle OpenDenyWrite(const std::wstring& path)
{
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

uint64_t FileLength(HANDLE file)
{
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : UINT64_MAX;
}

std::optional<std::string> ReadSmall(HANDLE file, uint64_t maxBytes)
{
    const uint64_t length = FileLength(file);
    if (length > maxBytes)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(length), '\0');
    DWORD got = 0;
    if (length != 0 && (!ReadFile(file, bytes.data(), static_cast<DWORD>(length), &got, nullptr) || got != length))
        return std::nullopt;
    return bytes;
}

}  // namespace

bool LaunchInstaller(const std::wstring& path)
{
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

SoftwareUpdateResult InstallSoftwareUpdate(const SoftwarePackage& package, const SoftwareUpdateActions& actions)
{
    // The offered text names files and addresses below: only a release version may.
    if (!IsReleaseVersion(package.version)) {
        actions.tell(kUpdateNotNewerText);
        return SoftwareUpdateResult::NotNewer;
    }
    if (package.folder.empty()) {
        actions.tell(kUpdateNotPreparedText);
        return SoftwareUpdateResult::StagingRefused;
    }
    StagingFolder staging(package.folder);
    if (!staging.Ready()) {
        actions.tell(kUpdateNotPreparedText);
        return SoftwareUpdateResult::StagingRefused;
    }
    // The verified files, held until the installer has started.
    std::vector<UniqueHandle> held;
    auto fail = [&](SoftwareUpdateResult result, const wchar_t* text) {
        held.clear();
        staging.Remove();
        actions.tell(text);
        return result;
    };

    if (!actions.download(package.recordUrl, package.recordPath, kMaxReleaseRecordBytes))
        return fail(SoftwareUpdateResult::DownloadFailed, kUpdateDownloadFailedText);
    // No signature downloaded leaves no file: the check below refuses it.
    actions.download(package.recordSignatureUrl, package.recordSignaturePath, kMaxSignatureBytes);
    held.push_back(OpenDenyWrite(package.recordPath));
    const std::optional<std::string> text = held.back() ? ReadSmall(held.back().get(), kMaxReleaseRecordBytes)
                                                        : std::nullopt;
    if (!text || VerifyPackageSignature(package.recordPath, package.recordSignaturePath) != SignatureCheck::Valid) {
        OutputDebugStringW(L"InstallSoftwareUpdate: the release record's signature does not verify");
        return fail(SoftwareUpdateResult::NotVerified, kUpdateNotVerifiedText);
    }
    const std::optional<ReleaseRecord> record = ParseReleaseRecord(*text);
    if (!record ||
        JudgeReleaseRecord(*record, package.currentVersion, package.version) != ReleaseVerdict::Accepted) {
        OutputDebugStringW(L"InstallSoftwareUpdate: the release record is malformed, not newer or another's");
        return fail(SoftwareUpdateResult::NotNewer, kUpdateNotNewerText);
    }

    if (!actions.download(package.packageUrl, package.packagePath, record->length))
        return fail(SoftwareUpdateResult::DownloadFailed, kUpdateDownloadFailedText);
    // Nobody may change the package between the check and the extraction.
    held.push_back(OpenDenyWrite(package.packagePath));
    if (!held.back() || FileLength(held.back().get()) != record->length ||
        Sha256Hex(held.back().get()) != record->sha256) {
        OutputDebugStringW(L"InstallSoftwareUpdate: the package is not the one the record names");
        return fail(SoftwareUpdateResult::NotVerified, kUpdateNotVerifiedText);
    }

    ZipExtractor extractor;
    if (!extractor.Extract(package.packagePath, package.folder))
        return fail(SoftwareUpdateResult::NotExtracted, kUpdateNotUnpackedText);
    const auto& entries = extractor.Entries();
    if (std::none_of(entries.begin(), entries.end(), [&](const ZipEntryRecord& e) {
            return e.outcome == ZipEntryOutcome::FileWritten && SameName(e.name, package.installerName);
        }))
        return fail(SoftwareUpdateResult::NoInstaller, kUpdateNoInstallerText);
    // What starts is what the record names, read through the handle held until then.
    held.push_back(OpenDenyWrite(package.installerPath));
    if (!held.back() || Sha256Hex(held.back().get()) != record->installerSha256) {
        OutputDebugStringW(L"InstallSoftwareUpdate: the installer is not the one the record names");
        return fail(SoftwareUpdateResult::NotVerified, kUpdateNotVerifiedText);
    }
    if (!actions.launch(package.installerPath))
        return fail(SoftwareUpdateResult::InstallerNotStarted, kUpdateNotStartedText);
    actions.endProgram();
    return SoftwareUpdateResult::InstallerStarted;
}
