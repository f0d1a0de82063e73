#pragma once
#include <string>

// The names and places of one software update.
struct SoftwarePackage {
    std::wstring packageName;    // "Software-<version>.zip"
    std::wstring packageUrl;     // base URL + "//" + package name (the base ends in "/")
    std::wstring signatureUrl;   // package URL + ".sig", the detached signature beside it
    std::wstring folder;         // the download folder, ending in a backslash
    std::wstring packagePath;    // folder + package name
    std::wstring signaturePath;  // package path + ".sig"
    std::wstring installerName;  // "Software-<version>.exe"
    std::wstring installerPath;  // folder + installer name
};

// softwareBaseUrl: the update server's software folder (ends in "/t51c/software/");
// version: the accepted version file's text; downloadFolder: the per-user
// download folder (the shell's GetDownloadPath()).
SoftwarePackage MakeSoftwarePackage(const std::wstring& softwareBaseUrl, const std::wstring& version,
                                    const std::wstring& downloadFolder);
