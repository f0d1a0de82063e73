#include "SoftwarePackage.h"

#include "ReleaseRecord.h"
#include "Version.h"

SoftwarePackage MakeSoftwarePackage(const std::wstring& softwareBaseUrl, const std::wstring& version,
                                    const std::wstring& stagingFolder)
{
    SoftwarePackage p;
    p.version = TrimVersionText(version);
    p.currentVersion = kSoftwareVersion;
    p.recordUrl = softwareBaseUrl + L"release";
    p.recordSignatureUrl = p.recordUrl + L".sig";
    p.packageName = L"Software-" + p.version + L".zip";
    p.packageUrl = softwareBaseUrl + L"//" + p.packageName;
    p.folder = stagingFolder;
    p.recordPath = p.folder + L"release";
    p.recordSignaturePath = p.recordPath + L".sig";
    p.packagePath = p.folder + p.packageName;
    p.installerName = L"Software-" + p.version + L".exe";
    p.installerPath = p.folder + p.installerName;
    return p;
}
