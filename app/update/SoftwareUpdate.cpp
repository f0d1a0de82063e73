#include "SoftwareUpdate.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "PackageSignature.h"
#include "UniqueResource.h"
#include "ZipExtractor.h"

namespace {

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace

bool LaunchInstaller(const std::wstring& path)
{
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

SoftwareUpdateResult InstallSoftwareUpdate(const SoftwarePackage& package, const SoftwareUpdateActions& actions)
{
    ZipExtractor::CreateFolderLevels(package.folder, package.folder.size() - 1);
    DeleteFileW(package.packagePath.c_str());
    DeleteFileW(package.signaturePath.c_str());

    if (!actions.download(package.packageUrl, package.packagePath) ||
        GetFileAttributesW(package.packagePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        DeleteFileW(package.packagePath.c_str());
        actions.tell(kUpdateDownloadFailedText);
        return SoftwareUpdateResult::DownloadFailed;
    }
    // No signature downloaded leaves no file: the check below refuses it.
    actions.download(package.signatureUrl, package.signaturePath);

    // Nobody may change the package between the check and the extraction.
    UniqueHandle lock(CreateFileW(package.packagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    const SignatureCheck check =
        lock ? VerifyPackageSignature(package.packagePath, package.signaturePath) : SignatureCheck::Unreadable;
    DeleteFileW(package.signaturePath.c_str());
    if (check != SignatureCheck::Valid) {
        OutputDebugStringW(L"InstallSoftwareUpdate: the package's signature does not verify");
        lock.reset();
        DeleteFileW(package.packagePath.c_str());
        actions.tell(kUpdateNotVerifiedText);
        return SoftwareUpdateResult::NotVerified;
    }

    ZipExtractor extractor;
    const bool opened = extractor.Extract(package.packagePath, package.folder);
    lock.reset();
    DeleteFileW(package.packagePath.c_str());
    if (!opened) {
        actions.tell(kUpdateNotUnpackedText);
        return SoftwareUpdateResult::NotExtracted;
    }
    // Only an installer written by this extraction, never one left from before.
    const auto& entries = extractor.Entries();
    if (std::none_of(entries.begin(), entries.end(), [&](const ZipEntryRecord& e) {
            return e.outcome == ZipEntryOutcome::FileWritten && SameName(e.name, package.installerName);
        })) {
        actions.tell(kUpdateNoInstallerText);
        return SoftwareUpdateResult::NoInstaller;
    }
    if (!actions.launch(package.installerPath)) {
        actions.tell(kUpdateNotStartedText);
        return SoftwareUpdateResult::InstallerNotStarted;
    }
    actions.endProgram();
    return SoftwareUpdateResult::InstallerStarted;
}
