#pragma once
#include <windows.h>

#include <string>
#include <vector>

// What became of one archive entry. Recorded and traced; the next entry is
// attempted whatever the outcome.
enum class ZipEntryOutcome {
    FileWritten,
    FolderCreated,
    NameRefused,       // unusable after cleaning, or would land outside the folder
    SymbolicLink,      // never created, as a link or otherwise
    PasswordRequired,
    TooLarge,          // claims more than is left of the bound on all entries
    NotCreated,        // folder or file could not be created, or a level is a link
    WriteFailed,
    BrokenData,        // bad local header, broken inflate stream, wrong CRC or size
};

struct ZipEntryRecord {
    unsigned index = 0;
    std::wstring name;  // after cleaning
    DWORD attributes = 0;
    ULONGLONG compressedSize = 0;
    ULONGLONG uncompressedSize = 0;
    FILETIME creationTime{};
    FILETIME accessTime{};
    FILETIME writeTime{};
    ZipEntryOutcome outcome = ZipEntryOutcome::BrokenData;
};

// Unpacks a zip archive (minizip over zlib) below a folder, never outside it:
// names are cleaned and checked, links are not created, folder levels that are
// links are not written through, a link where a file goes is replaced, and all
// entries together are bounded in size.
class ZipExtractor {
public:
    static constexpr DWORD kChunkBytes = 16384;
    static constexpr size_t kMaxNameChars = 260;
    // Far beyond any real package; an archive claiming more is hostile or broken.
    static constexpr ULONGLONG kMaxTotalBytes = 1ull << 30;

    explicit ZipExtractor(ULONGLONG maxTotalBytes = kMaxTotalBytes) : maxTotalBytes_(maxTotalBytes) {}

    // True when the archive opened; then every entry has been attempted and
    // Entries() tells what became of each. False when it could not be opened.
    bool Extract(const std::wstring& zipPath, const std::wstring& folder);
    const std::vector<ZipEntryRecord>& Entries() const { return entries_; }

    // Creates the missing folders of path level by level. Every level at or
    // beyond `guardFrom` characters must end up a real folder, not a junction or
    // symbolic link: this program runs elevated and the folders are the user's.
    static bool CreateFolderLevels(const std::wstring& path, size_t guardFrom);

private:
    ZipEntryOutcome ExtractCurrent(void* archive, ZipEntryRecord& record);
    ZipEntryOutcome WriteCurrent(void* archive, ZipEntryRecord& record, const std::wstring& path);

    ULONGLONG maxTotalBytes_;
    std::wstring base_;
    size_t guardFrom_ = 0;  // the base folder's own level and every level below it
    std::vector<char> name_;
    ULONGLONG budget_ = 0;
    std::vector<ZipEntryRecord> entries_;
};

// The extractor without its records.
bool ExtractZipToFolder(const std::wstring& zipPath, const std::wstring& folder);
