#pragma once
#include <cstdlib>
#include <functional>
#include <string>

#include "SoftwarePackage.h"

// What the user is told when an accepted update installs nothing.
inline constexpr wchar_t kUpdateDownloadFailedText[] =
    L"The update could not be downloaded. Please check the network connection and try again later.";
inline constexpr wchar_t kUpdateNotVerifiedText[] =
    L"The downloaded update could not be verified and was deleted. Nothing was installed.";
inline constexpr wchar_t kUpdateNotUnpackedText[] =
    L"The downloaded update could not be unpacked. Nothing was installed.";
inline constexpr wchar_t kUpdateNoInstallerText[] = L"The downloaded update holds no installer. Nothing was installed.";
inline constexpr wchar_t kUpdateNotStartedText[] = L"The installer of the update could not be started.";

// Starts an installer: ShellExecuteW "open" with SW_SHOW. True when it started.
bool LaunchInstaller(const std::wstring& path);

// What command 7 needs from the rest of the program.
struct SoftwareUpdateActions {
    // Downloads url into path; true when the whole body is in the file.
    std::function<bool(const std::wstring& url, const std::wstring& path)> download;
    // Tells the user in the program's message box (OK button).
    std::function<void(const std::wstring& text)> tell;
    std::function<bool(const std::wstring& path)> launch = LaunchInstaller;
    // Only once the installer runs: it replaces this program.
    std::function<void()> endProgram = [] { std::exit(0); };
};

enum class SoftwareUpdateResult {
    InstallerStarted,  // endProgram has been called
    DownloadFailed,
    NotVerified,       // unsigned, wrongly signed, damaged or swapped: deleted unopened
    NotExtracted,      // the archive did not open
    NoInstaller,       // the installer was not among the entries written
    InstallerNotStarted,
};

// Worker command 7: downloads the package and its signature into the download
// folder, verifies the package, extracts it there, deletes it and starts the
// installer it held. The program ends only when the installer started;
// otherwise the user is told and the program goes on.
SoftwareUpdateResult InstallSoftwareUpdate(const SoftwarePackage& package, const SoftwareUpdateActions& actions);
