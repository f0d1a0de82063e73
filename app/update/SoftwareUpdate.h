#pragma once
#include <cstdint>
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
inline constexpr wchar_t kUpdateNotPreparedText[] =
    L"The update could not be prepared: its folder is not safe to use. Nothing was installed.";
inline constexpr wchar_t kUpdateNotNewerText[] =
    L"The update offered is not a newer release of this program. Nothing was installed.";

// Starts an installer: ShellExecuteW "open" with SW_SHOW. True when it started.
bool LaunchInstaller(const std::wstring& path);

// What command 7 needs from the rest of the program.
struct SoftwareUpdateActions {
    // Downloads url into a new file at path, at most maxBytes of it; true
    // when the whole body is in the file.
    std::function<bool(const std::wstring& url, const std::wstring& path, uint64_t maxBytes)> download;
    // Tells the user in the program's message box (OK button).
    std::function<void(const std::wstring& text)> tell;
    std::function<bool(const std::wstring& path)> launch = LaunchInstaller;
    // Only once the installer runs: it replaces this program.
    std::function<void()> endProgram = [] { std::exit(0); };
};

enum class SoftwareUpdateResult {
    InstallerStarted,  // endProgram has been called
    StagingRefused,    // the staging folder exists and is not the administrators' alone
    DownloadFailed,
    NotVerified,       // record unsigned or wrongly signed; package or installer not the record's
    NotNewer,          // the record is malformed, not strictly newer, or of another release
    NotExtracted,      // the archive did not open
    NoInstaller,       // the installer was not among the entries written
    InstallerNotStarted,
};

// Worker command 7, on a worker thread: in a fresh staging folder (see
// StagingFolder) downloads the signed release record, verifies it and judges
// it against the running and the offered version, downloads at most the
// record's length of the package, checks its hash, extracts it, and starts the
// installer it held once its hash is the record's. What was verified stays
// open without write or delete sharing until the installer has started. The
// program ends only when the installer started; otherwise the staging folder
// is removed, the user is told and the program goes on.
SoftwareUpdateResult InstallSoftwareUpdate(const SoftwarePackage& package, const SoftwareUpdateActions& actions);
