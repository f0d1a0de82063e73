#include "SoftwarePackage.h"

SoftwarePackage MakeSoftwarePackage(const std::wstring& softwareBaseUrl, const std::wstring& version,
                                    const std::wstring& downloadFolder)
{
    SoftwarePackage p;
    p.packageName = L"Software-" + version + L".zip";
    p.packageUrl = softwareBaseUrl + L"//" + p.packageName;
    p.signatureUrl = p.packageUrl + L".sig";
    p.folder = downloadFolder;
    p.packagePath = p.folder + p.packageName;
    p.signaturePath = p.packagePath + L".sig";
    p.installerName = L"Software-" + version + L".exe";
    p.installerPath = p.folder + p.installerName;
    return p;
}
