#pragma once
#include <string>

// The names and places of one software update.
struct SoftwarePackage {
    std::wstring version;               // the offered version, trimmed
    std::wstring currentVersion;        // the running program's
    std::wstring recordUrl;             // base URL + "release": the signed release record
    std::wstring recordSignatureUrl;    // record URL + ".sig"
    std::wstring packageName;           // "Software-<version>.zip"
    std::wstring packageUrl;            // base URL + "//" + package name (the base ends in "/")
    std::wstring folder;                // the staging folder, ending in a backslash
    std::wstring recordPath;            // folder + "release"
    std::wstring recordSignaturePath;   // record path + ".sig"
    std::wstring packagePath;           // folder + package name
    std::wstring installerName;         // "Software-<version>.exe"
    std::wstring installerPath;         // folder + installer name
};

// softwareBaseUrl: the update server's software folder (ends in "/t51c/software/");
// version: the accepted version file's text; stagingFolder: Paths'
// GetStagingFolderPath(). The names hold the version only once it passed
// IsReleaseVersion (InstallSoftwareUpdate refuses any other before using them).
SoftwarePackage MakeSoftwarePackage(const std::wstring& softwareBaseUrl, const std::wstring& version,
                                    const std::wstring& stagingFolder);
