#pragma once
#include <cstdint>
#include <optional>
#include <string>

// The signed record of one release (scripts/release.sh writes it beside the
// package as "release", signed like a package): what the program may install.
// Its text is exactly these lines, each ending in "\n", in this order:
//   product=Vantrel Glimra
//   version=a.b.c.d
//   package=Software-a.b.c.d.zip
//   length=<decimal bytes of the package>
//   sha256=<64 lower-case hex digits of the package>
//   installer=Software-a.b.c.d.exe
//   installer-sha256=<64 lower-case hex digits of the installer in it>
//   issued=YYYY-MM-DD
struct ReleaseRecord {
    std::wstring product;
    std::wstring version;
    std::wstring package;
    uint64_t length = 0;
    std::string sha256;
    std::wstring installer;
    std::string installerSha256;
    std::wstring issued;
};

// A record is a few hundred bytes: anything longer is not one.
inline constexpr size_t kMaxReleaseRecordBytes = 4096;

// Four decimal numbers of at most 65535 each, dot-separated, nothing else
// (^\d+(\.\d+){3}$ within the version resource's 16-bit fields).
bool IsReleaseVersion(const std::wstring& text);
// The version file's text without surrounding spaces, tabs and line ends.
std::wstring TrimVersionText(const std::wstring& text);

// The record in bytes as the server sent them; nothing unless every line is
// exactly as above.
std::optional<ReleaseRecord> ParseReleaseRecord(const std::string& bytes);

enum class ReleaseVerdict {
    Accepted,
    NotNewer,      // not strictly newer than the running program
    OtherRelease,  // another product, or not the offered version, or names of another version
};
// A parsed record against the running program's version and the offered one.
ReleaseVerdict JudgeReleaseRecord(const ReleaseRecord& record, const std::wstring& ownVersion,
                                  const std::wstring& offeredVersion);
